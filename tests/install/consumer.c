/*
 * An application's first program against an installed Quarn_API, built only from the installed header
 * and linked only with the installed library: through the CMake package, through pkg-config, and on
 * Windows through each import library. It calls exports that need no reader, so a wrong name, a wrong
 * decoration or argument mix-up shows without hardware. The exit status is the number of the first
 * check that failed (0: all passed), so that a build without a C runtime reports it as well.
 */
#include "quarn_api.h"

#if defined(_WIN32)
#define MISSING_PORT "COM250"
#else
/* Looked up under /dev/. */
#define MISSING_PORT "quarn-no-such-port"
#endif

static int BytesEqual(const unsigned char *actual, const unsigned char *expected, int count) {
  int i;
  for (i = 0; i < count; ++i) {
    if (actual[i] != expected[i]) return 0;
  }
  return 1;
}

/* A port that will not open leaves the invalid handle, under either name of the entry. */
static int OpenFailsCleanly(int useSecondName) {
  PortHandle port = (PortHandle)7;
  int result = useSecondName ? UhfReaderConnect(&port, MISSING_PORT, 0x06) : UhfOpenPort(&port, MISSING_PORT, 0x06);
  return result == 0 && port == QUARN_INVALID_PORT;
}

/* Kill locked, access unlocked, EPC permalocked, TID permanently unlocked, User left as it is; only the
 * low byte of a choice counts. */
static int LockPayloadBuilt(void) {
  static const unsigned char expected[3] = {0x0F, 0xF2, 0x34};
  unsigned char payload[4] = {0xAA, 0xAA, 0xAA, 0x5A};
  const unsigned char *result = LockGenCode(0x101, 2, 3, 4, 0, payload);
  return result == payload && BytesEqual(payload, expected, 3) && payload[3] == 0x5A;
}

static int BytesBecomeHex(void) {
  static const unsigned char bytes[3] = {0x1A, 0xF0, 0x07};
  char text[7] = {'.', '.', '.', '.', '.', '.', '!'};
  UhfCharToCString(bytes, text, 3);
  return BytesEqual((const unsigned char *)text, (const unsigned char *)"1AF007!", 7);
}

static int HexBecomesBytes(void) {
  static const unsigned char expected[4] = {0xC0, 0xFF, 0xEE, 0x5A};
  unsigned char bytes[4] = {0, 0, 0, 0x5A};
  return UhfCStringToChar("c0FfEe", bytes, 6) == 3 && BytesEqual(bytes, expected, 4);
}

/* Six arguments, the out-parameters after the integers: with no port to send on, errorCode says there
 * was no usable reply and the data stays as it was. */
static int RegistersWithoutPort(void) {
  unsigned char errorCode = 0x11;
  unsigned char data[2] = {0x22, 0x33};
  int result = UhfGetRegister(QUARN_INVALID_PORT, 0x124, 2, &errorCode, data, 1);
  return result == 0 && errorCode == 0xFF && data[0] == 0x22 && data[1] == 0x33;
}

/* Eight arguments, a pointer among the integers. */
static int FrequencyWithoutPort(void) {
  static const unsigned char freq23[2] = {0x0A, 0x0B};
  return UhfSetFrequency(QUARN_INVALID_PORT, 1, 2, freq23, 4, 5, 6, 0) == 0;
}

static int RunChecks(void) {
  if (!OpenFailsCleanly(0)) return 1;
  if (!OpenFailsCleanly(1)) return 2;
  if (!LockPayloadBuilt()) return 3;
  if (!BytesBecomeHex()) return 4;
  if (!HexBecomesBytes()) return 5;
  if (!RegistersWithoutPort()) return 6;
  if (!FrequencyWithoutPort()) return 7;
  return 0;
}

#if defined(QUARN_CONSUMER_WITHOUT_CRT)
/* No C runtime: the linker enters here and the process ends through kernel32 alone. */
__declspec(dllimport) void __stdcall ExitProcess(unsigned int exitCode);

void ConsumerEntry(void) { ExitProcess((unsigned int)RunChecks()); }
#else
#include <stdio.h>

int main(void) {
  int failed = RunChecks();
  if (failed != 0) {
    printf("consumer: check %d failed\n", failed);
  } else {
    printf("consumer: all checks passed\n");
  }
  return failed;
}
#endif
