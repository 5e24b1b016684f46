/* rk_example: the link library from C.
 *
 *   rk_example COM ADDRESS
 *
 * Opens COM<COM> (mapped to a device by RK_COM<COM>, the port map file or the
 * defaults) at 57600 bit/s, writes 0x1234 into holding register 10 of the
 * device at ADDRESS, reads registers 10 and 11 back, and prints the results
 * with the library's texts (CP1251 bytes, shown as they are). */
#include <stdio.h>
#include <stdlib.h>

#include "rk.h"

static void report(const char *what, uint32_t code) {
  char text[2000];
  RK_GetErrorText(code, text, sizeof text);
  printf("%s: %08X %s\n", what, (unsigned)code, text);
}

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s COM ADDRESS\n", argv[0]);
    return 2;
  }
  char id[64];
  snprintf(id, sizeof id, "rk.dll,%d,%d,%d,%d", atoi(argv[1]), 57600, 20, 200);
  uint8_t port = 0;
  uint32_t rc = RK_OpenIdStr(id, &port);
  report("open", rc);
  if (rc != RK_OK) return 1;

  const uint32_t address = (uint32_t)atoi(argv[2]);
  uint16_t value = 0x1234;
  report("write", RK_Exchange(port, address, 6, 10, 1, &value));

  uint16_t regs[2] = {0, 0};
  rc = RK_Exchange(port, address, 3, 10, 2, regs);
  report("read", rc);
  if (rc == RK_OK) printf("registers: %04X %04X\n", regs[0], regs[1]);

  RkStatistics stats = {sizeof stats, 0, 0, 0};
  RK_GetStatistics(port, address, &stats);
  printf("good %u bad %u failed %u\n", (unsigned)stats.GoodReplies, (unsigned)stats.BadAttempts,
         (unsigned)stats.FailedExchanges);
  report("close", RK_Close(port));
  return 0;
}
