/* Compiled as C: the public header must stand on its own in a C program, its constants included. */
#include <stdio.h>
#include <string.h>

#include "quarn_api.h"

/* The constants are integer constant expressions that fit the byte-wide arguments they stand for. */
typedef char RecordSizeIsConstant[QUARN_TAG_RECORD_SIZE(0xF8) == QUARN_TAG_RECORD_MAX_SIZE ? 1 : -1];
typedef char StatusesAreBytes[QUARN_WRITE_STATUS_FAILED_WITHOUT_CODE <= 0xFF && QUARN_NO_ERROR_CODE <= 0xFF ? 1 : -1];
typedef char MaskFitsTheRecord[sizeof(FilterRecord) == 9 + QUARN_FILTER_MASK_SIZE ? 1 : -1];

static int Fail(const char *what) {
  fprintf(stderr, "%s\n", what);
  return 1;
}

int main(void) {
  const unsigned char bytes[2] = {0x1A, 0xF0};
  char text[5] = {0, 0, 0, 0, '!'};
  unsigned char payload[QUARN_LOCK_PAYLOAD_SIZE];
  const unsigned char firstBytes[3] = {0x07, 0x30, 0xFF};
  const int sizes[3] = {2, 14, QUARN_TAG_RECORD_MAX_SIZE};
  const int wideFirstByte = 0x130; /* only the low byte of an int counts, as for the exports */
  PortHandle port = QUARN_INVALID_PORT;
  int i;

  UhfCharToCString(bytes, text, 2);
  if (memcmp(text, "1AF0!", 5) != 0) return Fail("UhfCharToCString through the C header gave another text");
  for (i = 0; i < 3; ++i) {
    if (QUARN_TAG_RECORD_SIZE(firstBytes[i]) != sizes[i]) return Fail("QUARN_TAG_RECORD_SIZE gave a wrong size");
  }
  if (QUARN_TAG_RECORD_SIZE(wideFirstByte) != 14) return Fail("QUARN_TAG_RECORD_SIZE used more than the low byte");
  LockGenCode(QUARN_LOCK_KEEP, QUARN_LOCK_LOCKED, QUARN_LOCK_KEEP, QUARN_LOCK_KEEP, QUARN_LOCK_LOCKED, payload);
  if (memcmp(payload, "\x03\x0C\x82", 3) != 0) return Fail("LockGenCode with the named choices built another payload");
  if (UhfOpenPort(&port, "/nonexistent/quarn-port", QUARN_BAUD_115200 | QUARN_CRC_MODE) != 0 ||
      port != QUARN_INVALID_PORT) {
    return Fail("a missing port opened");
  }
  return 0;
}
