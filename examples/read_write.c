/*
 * Reading and writing a tag's user memory, by EPC.
 *
 *   read_write PORT [HEXWORDS [WORD]]
 *
 * Finds the tag in the field, reads words of its user memory, writes HEXWORDS (default CAFEF00D, two
 * words) from word WORD (default 0) on, and reads them back to check. The ByEPC exports address the tag
 * by its record, so they reach the same tag even when others come into the field meanwhile.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "example_support.h"
#include "quarn_api.h"

#define MAX_WORDS 16

/* No access password: an open tag takes 00000000. */
static const unsigned char kAccessPassword[QUARN_PASSWORD_SIZE] = {0, 0, 0, 0};

/* Word pointers from QUARN_WORD_PTR_EXTENDED on take two bytes (an EBV); the example stays below. */
static int ReadUser(PortHandle port, const unsigned char *record, unsigned char wordPtr, int wordCount,
                    unsigned char *data) {
  unsigned char errorCode;
  if (UhfReadDataByEPC(port, kAccessPassword, QUARN_BANK_USER, &wordPtr, wordCount, record, data, &errorCode,
                       EXAMPLE_CRC_FLAG) != 1) {
    PrintTagError("reading user memory", errorCode);
    return 0;
  }
  return 1;
}

static int WriteUser(PortHandle port, const unsigned char *record, unsigned char wordPtr, int wordCount,
                     const unsigned char *data) {
  unsigned char errorCode;
  if (UhfWriteDataByEPC(port, kAccessPassword, QUARN_BANK_USER, &wordPtr, wordCount, record, data, &errorCode,
                        EXAMPLE_CRC_FLAG) != 1) {
    PrintTagError("writing user memory", errorCode);
    return 0;
  }
  return 1;
}

static int ReadWriteReadBack(PortHandle port, const unsigned char *record, unsigned char wordPtr,
                             const unsigned char *words, int wordCount) {
  unsigned char before[2 * MAX_WORDS], after[2 * MAX_WORDS];

  if (!ReadUser(port, record, wordPtr, wordCount, before)) return 0;
  printf("user @%d before: ", wordPtr);
  PrintHex("", before, 2 * wordCount);

  if (!WriteUser(port, record, wordPtr, wordCount, words)) return 0;
  printf("wrote %d words to user @%d\n", wordCount, wordPtr);

  if (!ReadUser(port, record, wordPtr, wordCount, after)) return 0;
  printf("user @%d after:  ", wordPtr);
  PrintHex("", after, 2 * wordCount);
  if (memcmp(after, words, 2 * (size_t)wordCount) != 0) {
    printf("read-back differs from what was written\n");
    return 0;
  }
  printf("read-back matches\n");
  return 1;
}

int main(int argc, char **argv) {
  PortHandle port;
  unsigned char record[QUARN_TAG_RECORD_MAX_SIZE], recordLength, words[2 * MAX_WORDS];
  const char *hexWords = argc >= 3 ? argv[2] : "CAFEF00D";
  int wordPtr = argc >= 4 ? atoi(argv[3]) : 0;
  int wordCount = (int)strlen(hexWords) / 4, ok;

  if (argc < 2 || argc > 4) {
    fprintf(stderr, "usage: %s PORT [HEXWORDS [WORD]]\n  e.g. %s /dev/ttyUSB0 CAFEF00D 0\n", argv[0], argv[0]);
    return 2;
  }
  /* The write goes in a frame of one-byte length (at most QUARN_MAX_ONE_BYTE_LENGTH): 16 words fit beside
   * any EPC. */
  if (wordCount < 1 || wordCount > MAX_WORDS || strlen(hexWords) % 4 != 0 ||
      !ParseHex(hexWords, words, 2 * wordCount) || wordPtr < 0 || wordPtr >= QUARN_WORD_PTR_EXTENDED) {
    fprintf(stderr, "HEXWORDS: 1 to %d words of 4 hex digits; WORD: 0 to %d\n", MAX_WORDS,
            QUARN_WORD_PTR_EXTENDED - 1);
    return 2;
  }
  if (!OpenReader(&port, argv[1])) return 1;
  ok = FindOneTag(port, record, &recordLength) &&
       ReadWriteReadBack(port, record, (unsigned char)wordPtr, words, wordCount);
  UhfClosePort(&port);
  return ok ? 0 : 1;
}
