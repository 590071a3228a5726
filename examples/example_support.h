/*
 * Small helpers the examples share: hex text in and out (through the library's own conversion exports),
 * the meaning of a tag error code, and finding the one tag to work on.
 */
#ifndef QUARN_EXAMPLE_SUPPORT_H
#define QUARN_EXAMPLE_SUPPORT_H

#include <stdio.h>
#include <string.h>

#include "quarn_api.h"

/* Plain frames; QUARN_CRC_MODE selects CRC mode, where every frame carries a CRC-16. */
#define EXAMPLE_CRC_FLAG QUARN_PLAIN_MODE

/* The Gen2 tag error code of a write to a locked area without the access password. */
#define GEN2_MEMORY_LOCKED 0x04

/* Room for the hex text of a tag record and its terminating zero. */
#define HEX_TEXT_SIZE (2 * QUARN_TAG_RECORD_MAX_SIZE + 1)

/* The bytes as hex text, e.g. "E20034120000000000000001", in text (at most a tag record's worth). */
static inline const char *HexText(const unsigned char *bytes, int count, char text[HEX_TEXT_SIZE]) {
  if (count > QUARN_TAG_RECORD_MAX_SIZE) count = QUARN_TAG_RECORD_MAX_SIZE;
  if (count < 0) count = 0;
  UhfCharToCString(bytes, text, count);
  text[2 * count] = '\0'; /* the conversion writes no terminating zero */
  return text;
}

static inline void PrintHex(const char *label, const unsigned char *bytes, int count) {
  char text[HEX_TEXT_SIZE];
  printf("%s%s\n", label, HexText(bytes, count, text));
}

/*
 * Reads exactly 2 x size hex digits into bytes. The library's conversion counts any other character as
 * 0, so the text is checked first: a mistyped password must not quietly become another one.
 */
static inline int ParseHex(const char *text, unsigned char *bytes, int size) {
  int i;
  if ((int)strlen(text) != 2 * size) return 0;
  for (i = 0; i < 2 * size; ++i) {
    if (strchr("0123456789abcdefABCDEF", text[i]) == NULL) return 0;
  }
  return UhfCStringToChar(text, bytes, 2 * size) == size;
}

/*
 * What the errorCode of a refused tag operation means. Codes below 0x10 are the EPC Gen2 tag's own
 * error codes, passed on by the reader; higher codes are the reader's (see its manual).
 */
static inline const char *TagErrorMeaning(unsigned char errorCode) {
  switch (errorCode) {
    case 0x00: return "other error (Gen2)";
    case 0x03: return "memory overrun: the address or word count runs past the end of the bank (Gen2)";
    case GEN2_MEMORY_LOCKED: return "memory locked: the area is locked or permalocked (Gen2)";
    case 0x0B: return "insufficient power: bring the tag closer or raise the power (Gen2)";
    case 0x0F: return "non-specific error (Gen2)";
    case QUARN_NO_ERROR_CODE: return "no error code: no usable reply, or a refusal that carries none";
    default: return "a code of the reader's own (see its manual)";
  }
}

static inline void PrintTagError(const char *what, unsigned char errorCode) {
  printf("%s failed: error code 0x%02X, %s\n", what, errorCode, TagErrorMeaning(errorCode));
}

/*
 * Asks for the one tag in the field. Its record (PC word and EPC) is what the ByEPC exports take to
 * address that tag later, even with other tags around.
 */
static inline int FindOneTag(PortHandle port, unsigned char record[QUARN_TAG_RECORD_MAX_SIZE],
                             unsigned char *recordLength) {
  if (UhfInventorySingleTag(port, recordLength, record, EXAMPLE_CRC_FLAG) != 1) {
    printf("no tag answered the single-tag inventory\n");
    return 0;
  }
  PrintHex("tag record (PC + EPC): ", record, *recordLength);
  return 1;
}

static inline int OpenReader(PortHandle *port, const char *portName) {
  if (UhfOpenPort(port, portName, QUARN_BAUD_115200) != 1) {
    printf("could not open the port %s\n", portName);
    return 0;
  }
  printf("opened %s\n", portName);
  return 1;
}

#endif /* QUARN_EXAMPLE_SUPPORT_H */
