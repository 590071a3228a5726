/*
 * Updating the reader's firmware from an image file.
 *
 *   firmware_update PORT IMAGE
 *
 * The sequence: UhfUpdateInit opens the port itself and starts the update; the reader answers with a
 * 32-bit value, which goes back to it with UhfUpdateSendRN32; then the image size, the image in
 * numbered blocks, and UhfUpdateCommit, after which the reader installs the image and restarts. The
 * library keeps no update state and checks no order: the program does both.
 *
 * Do not pull the cable during an update. A reader left with half an image may need its maker's
 * recovery procedure.
 */
#include <stdio.h>

#include "example_support.h"
#include "quarn_api.h"

/* Any block length up to QUARN_MAX_UPDATE_BLOCK fits one frame; 1 KiB keeps each exchange short. */
#define BLOCK_SIZE 1024
/* The size command takes a 32-bit count. */
#define MAX_IMAGE_SIZE 0x7FFFFFFFL

/* Each step's status starts as this; the library leaves it so when no usable reply came. */
#define NO_REPLY QUARN_NO_ERROR_CODE

static void PrintRefusal(const char *step, unsigned char status) {
  if (status == NO_REPLY) {
    printf("%s: no usable reply from the reader\n", step);
  } else {
    /* The update statuses belong to the reader; its manual tells them (0x00 is success). */
    printf("%s refused: reader status 0x%02X\n", step, status);
  }
}

/* The image's size in bytes, or -1. The file is read again from its start afterwards. */
static long ImageSize(FILE *image) {
  long size;
  if (fseek(image, 0, SEEK_END) != 0) return -1;
  size = ftell(image);
  if (fseek(image, 0, SEEK_SET) != 0) return -1;
  return size;
}

static int SendImage(PortHandle port, FILE *image, long size) {
  unsigned char block[BLOCK_SIZE], status;
  unsigned int blockNumber = 0;
  long sent = 0;
  while (sent < size) {
    const size_t length = fread(block, 1, sizeof block, image);
    if (length == 0) {
      printf("could not read the image after %ld bytes\n", sent);
      return 0;
    }
    status = NO_REPLY;
    /* The two bytes before each block are its number, high byte first, counting from 0. */
    if (UhfUpdateSendData(port, &status, (int)(blockNumber >> 8) & 0xFF, (int)blockNumber & 0xFF, (int)length,
                          block, EXAMPLE_CRC_FLAG) != 1) {
      printf("block %u: ", blockNumber);
      PrintRefusal("the data", status);
      return 0;
    }
    sent += (long)length;
    ++blockNumber;
  }
  printf("sent %ld bytes in %u blocks\n", sent, blockNumber);
  return 1;
}

static int Update(PortHandle *port, const char *portName, FILE *image, long size) {
  unsigned char status = NO_REPLY, sizeBytes[4];
  int initValue = 0;

  if (UhfUpdateInit(port, portName, &status, &initValue, QUARN_BAUD_115200 | EXAMPLE_CRC_FLAG) != 1) {
    if (*port == QUARN_INVALID_PORT) {
      printf("could not open the port %s\n", portName);
    } else {
      PrintRefusal("the update start", status);
    }
    return 0;
  }
  printf("update started on %s\n", portName);
  status = NO_REPLY;
  /* The value goes back as the four bytes arrived: initValue holds them in that order in memory. */
  if (UhfUpdateSendRN32(*port, (const unsigned char *)&initValue, &status, EXAMPLE_CRC_FLAG) != 1) {
    PrintRefusal("the init value", status);
    return 0;
  }
  status = NO_REPLY;
  /* The size goes least significant byte first. */
  sizeBytes[0] = (unsigned char)(size & 0xFF);
  sizeBytes[1] = (unsigned char)((size >> 8) & 0xFF);
  sizeBytes[2] = (unsigned char)((size >> 16) & 0xFF);
  sizeBytes[3] = (unsigned char)((size >> 24) & 0xFF);
  if (UhfUpdateSendSize(*port, &status, sizeBytes, EXAMPLE_CRC_FLAG) != 1) {
    PrintRefusal("the image size", status);
    return 0;
  }
  printf("image size %ld bytes announced\n", size);
  if (!SendImage(*port, image, size)) return 0;
  status = NO_REPLY;
  if (UhfUpdateCommit(*port, &status, EXAMPLE_CRC_FLAG) != 1) {
    PrintRefusal("the commit", status);
    return 0;
  }
  printf("committed: the reader installs the image and restarts\n");
  return 1;
}

/* The reader restarts after the commit; give it a few tries to answer again. */
static void ShowVersion(PortHandle port) {
  unsigned char version1[QUARN_VERSION_BLOCK1_SIZE], version2[QUARN_VERSION_BLOCK2_SIZE];
  int attempt;
  for (attempt = 0; attempt < 3; ++attempt) {
    if (UhfGetVersion(port, version1, version2, EXAMPLE_CRC_FLAG) == 1) {
      PrintHex("version now: ", version1, QUARN_VERSION_BLOCK1_SIZE);
      PrintHex("build:       ", version2, QUARN_VERSION_BLOCK2_SIZE);
      return;
    }
  }
  printf("the reader has not answered since its restart\n");
}

int main(int argc, char **argv) {
  PortHandle port = QUARN_INVALID_PORT;
  FILE *image;
  long size;
  int ok;

  if (argc != 3) {
    fprintf(stderr, "usage: %s PORT IMAGE\n  e.g. %s /dev/ttyUSB0 reader-firmware.bin\n", argv[0], argv[0]);
    return 2;
  }
  image = fopen(argv[2], "rb");
  if (image == NULL) {
    fprintf(stderr, "cannot open the image %s\n", argv[2]);
    return 1;
  }
  size = ImageSize(image);
  if (size <= 0 || size > MAX_IMAGE_SIZE) {
    fprintf(stderr, "the image %s is empty or cannot be sized\n", argv[2]);
    fclose(image);
    return 1;
  }
  ok = Update(&port, argv[1], image, size);
  if (ok) ShowVersion(port);
  /* UhfUpdateInit leaves the port open whatever the reader answered. */
  if (port != QUARN_INVALID_PORT) UhfClosePort(&port);
  fclose(image);
  return ok ? 0 : 1;
}
