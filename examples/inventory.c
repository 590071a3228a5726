/*
 * Inventory: which tags are in the reader's field.
 *
 *   inventory PORT [REPORTS]
 *
 * First one single-tag inventory (one exchange, one tag), then a continuous inventory: the reader
 * streams a report for every tag it meets, again and again, until it is told to stop. The program takes
 * up to REPORTS reports (default 20), lists the distinct tags and stops the reader.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "example_support.h"
#include "quarn_api.h"

#define MAX_TAGS 32

struct SeenTag {
  unsigned char record[QUARN_TAG_RECORD_MAX_SIZE];
  unsigned char recordLength;
  int reads;
};

/* Adds one report to the list of distinct tags. */
static void Count(struct SeenTag *tags, int *tagCount, const unsigned char *record, unsigned char recordLength) {
  int i;
  for (i = 0; i < *tagCount; ++i) {
    if (tags[i].recordLength == recordLength && memcmp(tags[i].record, record, recordLength) == 0) {
      ++tags[i].reads;
      return;
    }
  }
  if (*tagCount == MAX_TAGS) return;
  memcpy(tags[*tagCount].record, record, recordLength);
  tags[*tagCount].recordLength = recordLength;
  tags[*tagCount].reads = 1;
  ++*tagCount;
}

static int ContinuousInventory(PortHandle port, int reports) {
  struct SeenTag tags[MAX_TAGS];
  int tagCount = 0, received = 0, i;
  unsigned char record[QUARN_TAG_RECORD_MAX_SIZE], recordLength;

  printf("starting a continuous inventory\n");
  if (UhfStartInventory(port, 0, 0, EXAMPLE_CRC_FLAG) != 1) {
    printf("the reader did not acknowledge the inventory start\n");
    return 0;
  }
  /* Each call takes one report; 0 means none came within 800 ms (or a frame that is no report). */
  while (received < reports && UhfReadInventory(port, &recordLength, record) == 1) {
    Count(tags, &tagCount, record, recordLength);
    ++received;
  }
  /* The reader streams until told to stop; the stop also skips the reports still on their way. */
  if (UhfStopOperation(port, EXAMPLE_CRC_FLAG) != 1) {
    printf("the reader did not acknowledge the stop\n");
    return 0;
  }
  printf("stopped after %d reports of %d distinct tags\n", received, tagCount);
  for (i = 0; i < tagCount; ++i) {
    /* The record is the PC word (2 bytes) and then the EPC. */
    printf("  %2d reads  ", tags[i].reads);
    PrintHex("EPC ", tags[i].record + 2, tags[i].recordLength - 2);
  }
  return received > 0;
}

int main(int argc, char **argv) {
  PortHandle port;
  unsigned char record[QUARN_TAG_RECORD_MAX_SIZE], recordLength;
  int reports = 20, ok;

  if (argc < 2 || argc > 3) {
    fprintf(stderr, "usage: %s PORT [REPORTS]\n  e.g. %s /dev/ttyUSB0, or COM3 on Windows\n", argv[0], argv[0]);
    return 2;
  }
  if (argc == 3) reports = atoi(argv[2]);
  if (reports < 1) reports = 1;
  if (!OpenReader(&port, argv[1])) return 1;

  printf("single-tag inventory\n");
  ok = FindOneTag(port, record, &recordLength);
  if (ok) PrintHex("EPC: ", record + 2, recordLength - 2);
  ok = ContinuousInventory(port, reports) && ok;

  UhfClosePort(&port);
  return ok ? 0 : 1;
}
