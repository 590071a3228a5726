"""The values the C exports take and report, under the names of include/quarn_api.h without
their QUARN_ prefix (QUARN_BAUD_115200 is BAUD_115200). The header documents each one; the tests
check that every value here equals the header's.
"""

# portOptions: the baud selection (bits 1 to 3).
BAUD_MASK = 0x0E
BAUD_9600 = 0x00
BAUD_19200 = 0x02
BAUD_57600 = 0x04
BAUD_115200 = 0x06

# crcFlag; also bit 0 of UhfUpdateInit's portOptions.
PLAIN_MODE = 0
CRC_MODE = 1

# errorCode with no error code of the reader's to report; the register and filter exports' errorCode
# after no usable reply.
NO_ERROR_CODE = 0xFF

# writeStatus of the block writes and the SR writes.
WRITE_STATUS_WRITTEN = 0x00
WRITE_STATUS_NO_REPLY = 0x80
WRITE_STATUS_FAILED_WITH_CODE = 0x81
WRITE_STATUS_FAILED_WITHOUT_CODE = 0x82

# Memory bank codes.
BANK_RESERVED = 0
BANK_EPC = 1
BANK_TID = 2
BANK_USER = 3

# Word pointers in EBV form: byte 0 of a two-byte pointer has WORD_PTR_EXTENDED set.
WORD_PTR_EXTENDED = 0x80
MAX_WORD_PTR = 0x3FFF

# Tag records: the PC word and the EPC.
TAG_RECORD_MAX_SIZE = 64
MAX_EPC_WORDS = 31


def tag_record_size(first_byte: int) -> int:
    """QUARN_TAG_RECORD_SIZE: a tag record's size in bytes from its first byte (the PC word's high
    byte, whose five high bits count the EPC's words)."""
    return (((first_byte & 0xFF) >> 3) + 1) * 2


MAX_WORD_COUNT = 255
MAX_ONE_BYTE_LENGTH = 127

# Fixed sizes of byte arguments.
PASSWORD_SIZE = 4
LOCK_PAYLOAD_SIZE = 3
VERSION_BLOCK1_SIZE = 6
VERSION_BLOCK2_SIZE = 3
READER_UID_SIZE = 12
SR_DATA_SIZE = 80
FILTER_MASK_SIZE = 32

# LockGenCode's choice for each area.
LOCK_KEEP = 0
LOCK_LOCKED = 1
LOCK_UNLOCKED = 2
LOCK_PERMALOCKED = 3
LOCK_PERMAUNLOCKED = 4

# Parameter registers.
REGISTER_SPACE_SIZE = 512
MULTI_ANT_REGISTER = 0x124
MAX_REGISTER_WRITE = 2039
MAX_REGISTER_WRITE_CRC = 2037

# Multi-tag reads.
READ_OPTIONS_LONG_FORM = 0x01
DATA_FRAME_ONE_BLOCK = 0x00
DATA_FRAME_TWO_BLOCKS = 0x01
MAX_DATA_BLOCK = 2038

# Firmware update blocks.
MAX_UPDATE_BLOCK = 2041
MAX_UPDATE_BLOCK_CRC = 2039

# The secure access module.
MAX_APDU = 125
MAX_APDU_CRC = 123
MAX_SAM_RESPONSE = 255
SAM_STATUS_REFUSED = 0x81
PSAM_POWER_OFF = 0
PSAM_POWER_ON = 1
PSAM_ANSWER_SIZE = 255
SR_TAG_RECORD_SIZE = 255
