/*
 * Locking a tag's user memory with its access password, and unlocking it again.
 *
 *   lock_unlock PORT ACCESSPASSWORD
 *
 * ACCESSPASSWORD is the tag's access password, 8 hex digits (nonzero: a tag whose access password is
 * zero is in the secured state to everybody, so its locked memory stays writable to all).
 *
 * 1. lock user memory, and the access password with it: an access password that is not locked can be
 *    read by anyone, which would make the lock worthless;
 * 2. a write without the password is refused (memory locked);
 * 3. a write with the password passes: the password puts the tag in the secured state;
 * 4. unlock both, and a write without the password passes again.
 *
 * Locks are given per area with LockGenCode: QUARN_LOCK_LOCKED, QUARN_LOCK_UNLOCKED, and the permanent
 * QUARN_LOCK_PERMALOCKED and QUARN_LOCK_PERMAUNLOCKED; QUARN_LOCK_KEEP leaves the area as it is.
 * Permanent choices can never be undone: try them on a tag you can spare.
 */
#include <stdio.h>

#include "example_support.h"
#include "quarn_api.h"

static const unsigned char kNoPassword[QUARN_PASSWORD_SIZE] = {0, 0, 0, 0};
static const unsigned char kWordPtr = 0x00;

/* Locks or unlocks user memory and the access password together. */
static int SetUserLock(PortHandle port, const unsigned char *password, const unsigned char *record, int choice) {
  unsigned char payload[QUARN_LOCK_PAYLOAD_SIZE], errorCode;
  char text[HEX_TEXT_SIZE];
  LockGenCode(QUARN_LOCK_KEEP, choice, QUARN_LOCK_KEEP, QUARN_LOCK_KEEP, choice, payload);
  printf("%s user memory and access password (lock payload %s)\n",
         choice == QUARN_LOCK_LOCKED ? "locking" : "unlocking", HexText(payload, QUARN_LOCK_PAYLOAD_SIZE, text));
  if (UhfLockMemByEPC(port, password, payload, record, &errorCode, EXAMPLE_CRC_FLAG) != 1) {
    PrintTagError("the lock", errorCode);
    return 0;
  }
  return 1;
}

/* Writes one word to user memory; prints why when the tag refuses and hands the error code back. */
static int WriteWord(PortHandle port, const unsigned char *password, const unsigned char *record,
                     unsigned char high, unsigned char low, unsigned char *errorCode) {
  const unsigned char word[2] = {high, low};
  const int withPassword = password != kNoPassword;
  printf("writing %02X%02X to user @0 %s the access password: ", high, low, withPassword ? "with" : "without");
  if (UhfWriteDataByEPC(port, password, QUARN_BANK_USER, &kWordPtr, 1, record, word, errorCode,
                        EXAMPLE_CRC_FLAG) != 1) {
    printf("refused, error code 0x%02X, %s\n", *errorCode, TagErrorMeaning(*errorCode));
    return 0;
  }
  printf("written\n");
  return 1;
}

static int LockRefuseUnlock(PortHandle port, const unsigned char *password, const unsigned char *record) {
  unsigned char errorCode;
  if (!SetUserLock(port, password, record, QUARN_LOCK_LOCKED)) return 0;
  if (WriteWord(port, kNoPassword, record, 0x0B, 0xAD, &errorCode)) {
    printf("the locked memory took a write without the password\n");
    return 0;
  }
  if (errorCode != GEN2_MEMORY_LOCKED) return 0; /* refused, but not for the lock */
  if (!WriteWord(port, password, record, 0x60, 0x0D, &errorCode)) return 0;
  if (!SetUserLock(port, password, record, QUARN_LOCK_UNLOCKED)) return 0;
  return WriteWord(port, kNoPassword, record, 0xF0, 0x0D, &errorCode);
}

int main(int argc, char **argv) {
  PortHandle port;
  unsigned char password[QUARN_PASSWORD_SIZE], record[QUARN_TAG_RECORD_MAX_SIZE], recordLength;
  int ok;

  if (argc != 3) {
    fprintf(stderr, "usage: %s PORT ACCESSPASSWORD\n  e.g. %s /dev/ttyUSB0 12345678\n", argv[0], argv[0]);
    return 2;
  }
  if (!ParseHex(argv[2], password, QUARN_PASSWORD_SIZE)) {
    fprintf(stderr, "ACCESSPASSWORD: 8 hex digits\n");
    return 2;
  }
  if (!OpenReader(&port, argv[1])) return 1;
  ok = FindOneTag(port, record, &recordLength) && LockRefuseUnlock(port, password, record);
  printf(ok ? "done: the lock held without the password and is undone\n" : "stopped\n");
  UhfClosePort(&port);
  return ok ? 0 : 1;
}
