/* Compiled as C: the public header must stand on its own in a C program. */
#include <stdio.h>
#include <string.h>

#include "quarn_api.h"

int main(void) {
  const unsigned char bytes[2] = {0x1A, 0xF0};
  char text[5] = {0, 0, 0, 0, '!'};
  PortHandle port = QUARN_INVALID_PORT;
  UhfCharToCString(bytes, text, 2);
  if (memcmp(text, "1AF0!", 5) != 0) {
    fprintf(stderr, "UhfCharToCString through the C header gave %.5s\n", text);
    return 1;
  }
  if (UhfOpenPort(&port, "/nonexistent/quarn-port", 0) != 0 || port != QUARN_INVALID_PORT) {
    fprintf(stderr, "a missing port opened\n");
    return 1;
  }
  return 0;
}
