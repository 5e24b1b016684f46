/* rk: Modbus RTU link library.
 *
 * Opens serial ports COM1..COM16 (shared among processes and threads), runs
 * Modbus RTU transactions with retries and per-device statistics, transfers
 * files to and from a device over private function codes, and turns every
 * result code into a Russian text (CP1251 bytes).
 *
 * Every export returns a 32-bit result code: 0 is success, 0xE0E00001..
 * 0xE0E0000E are the library's own errors, 0xE0E10000 + n is Modbus exception n
 * from the device, any other value is an operating-system code (2: port does not
 * exist, 5: port held by another program, 995: operation aborted after a line
 * error).
 */
#ifndef RK_H
#define RK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(RK_BUILDING_LIBRARY)
#define RK_API __attribute__((visibility("default")))
#else
#define RK_API
#endif

/* Result codes of the library itself. */
#define RK_OK 0x00000000u
#define RK_CHECK_BYTES_ARRIVED 0x00000001u
#define RK_ERR_BAD_PORT 0xE0E00001u
#define RK_ERR_NOT_OPEN 0xE0E00002u
#define RK_ERR_BAD_DEVICE 0xE0E00003u
#define RK_ERR_NO_REPLY 0xE0E00004u
#define RK_ERR_BAD_REPLY 0xE0E00005u
#define RK_ERR_FILE_LENGTH 0xE0E00006u
#define RK_ERR_CANCELLED 0xE0E00007u
#define RK_ERR_TOO_MANY_USERS 0xE0E00008u
#define RK_ERR_NO_SHARED_MEMORY 0xE0E00009u
#define RK_ERR_TRANSFER_BUSY 0xE0E0000Au
#define RK_ERR_PORT_TIMEOUT 0xE0E0000Bu
#define RK_ERR_REQUEST_TOO_LONG 0xE0E0000Cu
#define RK_ERR_REPLY_TOO_LONG 0xE0E0000Du
#define RK_ERR_BAD_ID_STRING 0xE0E0000Eu

/* Modbus exception n from the device is RK_ERR_EXCEPTION_BASE + n. */
#define RK_ERR_EXCEPTION_BASE 0xE0E10000u
#define RK_ERR_ILLEGAL_FUNCTION 0xE0E10001u
#define RK_ERR_ILLEGAL_ADDRESS 0xE0E10002u
#define RK_ERR_ILLEGAL_VALUE 0xE0E10003u
#define RK_ERR_REMOTE_OPEN 0xE0E10052u
#define RK_ERR_REMOTE_IO 0xE0E10053u
#define RK_ERR_NO_FILE_REQUEST 0xE0E10054u
#define RK_ERR_FILE_POSITION 0xE0E10055u
#define RK_ERR_REMOTE_LENGTH 0xE0E10056u
#define RK_ERR_REMOTE_CLOSE 0xE0E10057u
#define RK_ERR_REMOTE_RENAME 0xE0E10058u
#define RK_ERR_ACCESS_LEVEL 0xE0E10059u
#define RK_ERR_BAD_PASSWORD 0xE0E10060u
#define RK_ERR_BLOCK_SIZE 0xE0E10061u
#define RK_ERR_FILE_TOO_BIG 0xE0E10062u

/* Operating-system codes that keep one meaning on every platform. */
#define RK_SYS_FILE_NOT_FOUND 2u
#define RK_SYS_ACCESS_DENIED 5u
#define RK_SYS_OPERATION_ABORTED 995u

#pragma pack(push, 1)

/* Line parameters and timing of a port. Size: bytes the caller hands over or
 * has room for; the library copies at most min(Size, 28) bytes. */
typedef struct RkParamBlock {
  uint32_t Size;              /* 28 */
  uint32_t BaudRate;          /* bit/s, 8N1; default 57600 */
  uint32_t PollInterval;      /* ms between looks at the receive queue; default 50 */
  uint32_t ReplyTimeout;      /* ms for the first reply byte; default 100 */
  uint32_t FileReplyTimeout;  /* ms for send, delete and checksum requests; default 5000 */
  uint32_t FileBlockSize;     /* payload bytes per send block; default 512 */
  uint16_t Attempts;          /* sends of an ordinary request; default 3 */
  uint16_t FileBlockAttempts; /* sends of a file block request; default 12 */
} RkParamBlock;

/* Exchange counters of one device address on one port. */
typedef struct RkStatistics {
  uint32_t Size; /* 16, set by the caller; the library neither reads nor writes it */
  uint32_t GoodReplies;
  uint32_t BadAttempts;
  uint32_t FailedExchanges;
} RkStatistics;

/* State of the file operation on a port. */
typedef struct RkTransferInfo {
  uint32_t Size;      /* 540; in/out like RkParamBlock.Size */
  uint32_t Operation; /* 0 none, 1 sending, 2 receiving, 3 deleting */
  uint32_t BytesDone;
  uint32_t BytesTotal;
  uint32_t Address;
  char RemoteName[260]; /* device-side name, cut at its first ';' */
  char LocalName[260];  /* computer-side name; empty for delete */
} RkTransferInfo;

/* Date and time carried by Modbus functions 81 and 82. */
typedef struct RkDateTime {
  uint16_t Year;
  uint16_t Month;
  uint16_t Reserved1; /* left untouched by the library */
  uint16_t Day;
  uint16_t Hour;
  uint16_t Minute;
  uint16_t Second;
  uint16_t Reserved2; /* left untouched by the library */
} RkDateTime;

#pragma pack(pop)

RK_API void RK_GetDefaultParamBlock(RkParamBlock *block);
RK_API uint32_t RK_Open(uint32_t port, const RkParamBlock *block);
RK_API uint32_t RK_OpenIdStr(const char *idStr, uint8_t *port);
RK_API uint32_t RK_Close(uint32_t port);
RK_API uint32_t RK_Exchange(uint32_t port, uint32_t address, uint32_t function, uint32_t start,
                            uint32_t count, void *data);
RK_API uint32_t RK_CheckExchange(uint32_t port, uint32_t durationMs);
RK_API uint32_t RK_GetErrorText(uint32_t code, char *text, uint32_t capacity);
RK_API uint32_t RK_GetParamBlock(uint32_t port, RkParamBlock *block);
RK_API uint32_t RK_GetStatistics(uint32_t port, uint32_t address, RkStatistics *stats);
RK_API uint32_t RK_ResetStatistics(uint32_t port, uint32_t address);
RK_API uint32_t RK_GetTransferInfo(uint32_t port, RkTransferInfo *info);
RK_API uint32_t RK_SendFile(uint32_t port, uint32_t address, void *owner, const char *deviceName,
                            const char *localName);
RK_API uint32_t RK_ReceiveFile(uint32_t port, uint32_t address, void *owner, const char *deviceName,
                               const char *localName);
RK_API uint32_t RK_ReceiveFileCS(uint32_t port, uint32_t address, const char *deviceName,
                                 uint32_t *length, uint16_t *checksum);
RK_API uint32_t RK_CountFileCS(const char *localName, uint32_t *length, uint16_t *checksum);
RK_API uint32_t RK_DeleteFile(uint32_t port, uint32_t address, void *ignored,
                              const char *deviceName);

#ifdef __cplusplus
} /* extern "C" */
#endif

#ifdef __cplusplus
#include <cstddef>
#define RK_STATIC_ASSERT(e, m) static_assert(e, m)
#else
#include <stddef.h>
#define RK_STATIC_ASSERT(e, m) _Static_assert(e, m)
#endif
/* The records are little-endian and packed to the sizes and offsets below. */
RK_STATIC_ASSERT(offsetof(RkParamBlock, BaudRate) == 4, "RkParamBlock layout");
RK_STATIC_ASSERT(offsetof(RkParamBlock, PollInterval) == 8, "RkParamBlock layout");
RK_STATIC_ASSERT(offsetof(RkParamBlock, ReplyTimeout) == 12, "RkParamBlock layout");
RK_STATIC_ASSERT(offsetof(RkParamBlock, FileReplyTimeout) == 16, "RkParamBlock layout");
RK_STATIC_ASSERT(offsetof(RkParamBlock, FileBlockSize) == 20, "RkParamBlock layout");
RK_STATIC_ASSERT(offsetof(RkParamBlock, Attempts) == 24, "RkParamBlock layout");
RK_STATIC_ASSERT(offsetof(RkParamBlock, FileBlockAttempts) == 26, "RkParamBlock layout");
RK_STATIC_ASSERT(offsetof(RkStatistics, GoodReplies) == 4, "RkStatistics layout");
RK_STATIC_ASSERT(offsetof(RkStatistics, BadAttempts) == 8, "RkStatistics layout");
RK_STATIC_ASSERT(offsetof(RkStatistics, FailedExchanges) == 12, "RkStatistics layout");
RK_STATIC_ASSERT(offsetof(RkTransferInfo, Operation) == 4, "RkTransferInfo layout");
RK_STATIC_ASSERT(offsetof(RkTransferInfo, BytesDone) == 8, "RkTransferInfo layout");
RK_STATIC_ASSERT(offsetof(RkTransferInfo, BytesTotal) == 12, "RkTransferInfo layout");
RK_STATIC_ASSERT(offsetof(RkTransferInfo, Address) == 16, "RkTransferInfo layout");
RK_STATIC_ASSERT(offsetof(RkTransferInfo, RemoteName) == 20, "RkTransferInfo layout");
RK_STATIC_ASSERT(offsetof(RkTransferInfo, LocalName) == 280, "RkTransferInfo layout");
RK_STATIC_ASSERT(offsetof(RkDateTime, Month) == 2, "RkDateTime layout");
RK_STATIC_ASSERT(offsetof(RkDateTime, Day) == 6, "RkDateTime layout");
RK_STATIC_ASSERT(offsetof(RkDateTime, Second) == 12, "RkDateTime layout");

RK_STATIC_ASSERT(sizeof(RkParamBlock) == 28, "RkParamBlock is 28 bytes");
RK_STATIC_ASSERT(sizeof(RkStatistics) == 16, "RkStatistics is 16 bytes");
RK_STATIC_ASSERT(sizeof(RkTransferInfo) == 540, "RkTransferInfo is 540 bytes");
RK_STATIC_ASSERT(sizeof(RkDateTime) == 16, "RkDateTime is 16 bytes");
#undef RK_STATIC_ASSERT

#endif /* RK_H */
