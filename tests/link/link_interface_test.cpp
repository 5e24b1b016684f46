// The parts of the link library that need no device: CRC, parameter blocks,
// error texts, identification strings and the refusals of every export.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "link/crc.h"
#include "platform/cp1251.h"
#include "platform/errors.h"
#include "rk.h"
#include "tests/support/modbus_frame.h"

namespace {

std::string errorText(uint32_t code, uint32_t capacity = 2000) {
  std::string buf(capacity, '\x7f');
  const uint32_t n = RK_GetErrorText(code, buf.data(), capacity);
  EXPECT_EQ(buf[n], '\0');
  return platform::cp1251ToUtf8(buf.substr(0, n));
}

TEST(Crc, KnownValues) {
  const auto *digits = reinterpret_cast<const uint8_t *>("123456789");
  EXPECT_EQ(rk::crc16(digits, 9), 0x4B37);
  const uint8_t request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
  const uint16_t crc = rk::crc16(request, sizeof request);
  EXPECT_EQ(crc & 0xFF, 0x84);
  EXPECT_EQ(crc >> 8, 0x0A);
  EXPECT_EQ(rk::crc16(nullptr, 0), 0xFFFF);
}

TEST(Crc, ContinuesOverChunksAndAgreesWithBitwiseMethod) {
  std::mt19937 gen(7);
  std::vector<uint8_t> data(1000);
  for (uint8_t &b : data)
    b = static_cast<uint8_t>(gen());
  const uint16_t whole = rk::crc16(data.data(), 1000);
  EXPECT_EQ(whole, rktest::modbusCrc(data.data(), data.size()));
  uint16_t chunked = rk::kCrcInitial;
  for (size_t at = 0; at < data.size(); at += 256) {
    chunked = rk::crc16(data.data() + at, static_cast<uint16_t>(std::min<size_t>(256, 1000 - at)),
                        chunked);
  }
  EXPECT_EQ(chunked, whole);
}

TEST(ParamBlock, DefaultsFollowTheSizeRule) {
  RkParamBlock b;
  std::memset(&b, 0xAB, sizeof b);
  b.Size = 12;
  RK_GetDefaultParamBlock(&b);
  EXPECT_EQ(b.Size, 12u);
  EXPECT_EQ(b.BaudRate, 57600u);
  EXPECT_EQ(b.PollInterval, 50u);
  EXPECT_EQ(b.ReplyTimeout, 0xABABABABu) << "beyond the caller's Size";

  struct {
    RkParamBlock block;
    uint8_t guard[72];
  } big;
  std::memset(&big, 0xCD, sizeof big);
  big.block.Size = 100;
  RK_GetDefaultParamBlock(&big.block);
  EXPECT_EQ(big.block.Size, 28u);
  EXPECT_EQ(big.block.ReplyTimeout, 100u);
  EXPECT_EQ(big.block.FileReplyTimeout, 5000u);
  EXPECT_EQ(big.block.FileBlockSize, 512u);
  EXPECT_EQ(big.block.Attempts, 3u);
  EXPECT_EQ(big.block.FileBlockAttempts, 12u);
  EXPECT_EQ(big.guard[0], 0xCD);

  RK_GetDefaultParamBlock(nullptr);  // no crash
}

TEST(ParamBlock, ClosedPortReportsZerosBeforeAnyOpen) {
  RkParamBlock b;
  std::memset(&b, 0xEE, sizeof b);
  b.Size = sizeof b;
  ASSERT_EQ(RK_GetParamBlock(9, &b), RK_OK);
  EXPECT_EQ(b.Size, 28u);
  EXPECT_EQ(b.BaudRate, 0u);
  EXPECT_EQ(b.FileBlockAttempts, 0u);
}

TEST(ErrorText, TableCodes) {
  struct Case {
    uint32_t code;
    const char *text;
  } cases[] = {
      {RK_OK, ""},
      {5, "запрашиваемый COM-порт занят"},
      {RK_ERR_BAD_PORT, "недопустимый номер COM-порта"},
      {RK_ERR_NOT_OPEN, "COM-порт не был открыт"},
      {RK_ERR_BAD_DEVICE, "недопустимый номер устройства"},
      {RK_ERR_NO_REPLY, "нет ответа от датчика"},
      {RK_ERR_BAD_REPLY, "ошибочный ответ от датчика"},
      {RK_ERR_FILE_LENGTH, "ошибочная длина файла при приеме"},
      {RK_ERR_CANCELLED, "операция прервана пользователем"},
      {RK_ERR_TOO_MANY_USERS, "порт одновременно запрашивают слишком много задач"},
      {RK_ERR_NO_SHARED_MEMORY, "не удалось создать разделяемую область памяти"},
      {RK_ERR_TRANSFER_BUSY,
       "попытка одновременного запроса на передачу файлов из нескольких потоков"},
      {RK_ERR_PORT_TIMEOUT, "не удалось дождаться доступа к COM-порту"},
      {RK_ERR_REQUEST_TOO_LONG, "длина запроса превышает максимально допустимую"},
      {RK_ERR_REPLY_TOO_LONG, "длина ответного пакета превышает максимально допустимую"},
      {RK_ERR_BAD_ID_STRING, "ошибка в строке идентификации"},
      {RK_ERR_ILLEGAL_FUNCTION, "недопустимый MODBUS-код функции"},
      {RK_ERR_ILLEGAL_ADDRESS, "недопустимый номер канала"},
      {RK_ERR_ILLEGAL_VALUE, "недопустимое значение в поле данных"},
      {RK_ERR_REMOTE_OPEN, "не удалось открыть файл на удаленном устройстве"},
      {RK_ERR_REMOTE_IO, "ошибка чтения/записи файла на удаленном устройстве"},
      {RK_ERR_NO_FILE_REQUEST, "команда чтения/записи файла без запроса длины и имени файла"},
      {RK_ERR_FILE_POSITION, "не совпало положение указателя файла в датчике"},
      {RK_ERR_REMOTE_LENGTH, "не совпала длина файла в датчике"},
      {RK_ERR_REMOTE_CLOSE, "не удалось закрыть временный файл в датчике"},
      {RK_ERR_REMOTE_RENAME, "не удалось переименовать временный файл в датчике"},
      {RK_ERR_ACCESS_LEVEL, "недостаточный уровень доступа"},
      {RK_ERR_BAD_PASSWORD, "неверный пароль"},
      {RK_ERR_BLOCK_SIZE, "размер блока данных не равен 512 байтам"},
      {RK_ERR_FILE_TOO_BIG, "размер файла больше 48К байт"},
      {0xE0E1005A, "ошибка E0E1005A"},
      {0xE0E1005F, "ошибка E0E1005F"},
      {0xE0E0000F, "ошибка E0E0000F"},
      {0x20000001, "ошибка 20000001"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(errorText(c.code), c.text) << std::hex << c.code;
}

TEST(ErrorText, EveryOwnAndExceptionCodeHasText) {
  for (uint32_t code = RK_ERR_BAD_PORT; code <= RK_ERR_BAD_ID_STRING; ++code) {
    EXPECT_FALSE(errorText(code).empty()) << std::hex << code;
    EXPECT_EQ(errorText(code).find("ошибка E0E"), std::string::npos) << std::hex << code;
  }
  for (uint32_t n : {1, 2, 3, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x60, 0x61, 0x62}) {
    EXPECT_EQ(errorText(RK_ERR_EXCEPTION_BASE + n).find("ошибка E0E"), std::string::npos) << n;
  }
}

TEST(ErrorText, SystemCodesHaveRussianTexts) {
  EXPECT_EQ(errorText(RK_SYS_OPERATION_ABORTED),
            "операция на COM-порту прервана из-за ошибки на линии");
  EXPECT_NE(errorText(RK_SYS_FILE_NOT_FOUND).find("не удается найти"), std::string::npos);
  EXPECT_NE(errorText(platform::codeFromErrno(EACCES)).find("проверьте права"), std::string::npos);
  EXPECT_NE(errorText(platform::kErrBaudRate).find("скорость"), std::string::npos);
  EXPECT_NE(errorText(platform::kErrInvalidParameter).find("недопустимый параметр"),
            std::string::npos);
  EXPECT_EQ(errorText(12345), "") << "a code nobody defined has no text";
}

TEST(ErrorText, CapacityCutsTheText) {
  EXPECT_EQ(errorText(RK_ERR_NO_REPLY, 4), "нет");
  char buf[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(RK_GetErrorText(RK_ERR_NO_REPLY, buf, 4), 3u);
  EXPECT_EQ(RK_GetErrorText(RK_ERR_NO_REPLY, buf, 1), 0u);
  EXPECT_EQ(buf[0], '\0');
  buf[0] = 'x';
  EXPECT_EQ(RK_GetErrorText(RK_ERR_NO_REPLY, buf, 0), 0u);
  EXPECT_EQ(buf[0], 'x') << "capacity 0 writes nothing";
  EXPECT_EQ(RK_GetErrorText(RK_ERR_NO_REPLY, nullptr, 100), 0u);
}

TEST(ErrorText, TextsAreSingleByteCp1251) {
  char buf[100];
  const uint32_t n = RK_GetErrorText(RK_ERR_NOT_OPEN, buf, sizeof buf);
  EXPECT_EQ(n, 22u) << "one byte a character";
  EXPECT_EQ(static_cast<unsigned char>(buf[5]), 0xEE) << "'о' in CP1251";
}

TEST(IdString, RefusedStringsLeaveThePortByteAlone) {
  for (const char *s :
       {"rk.dll,1,57600,100", "rx.dll,1,57600,100,300", "", "rk.dll", "rk.dll,a,57600,100,300"}) {
    uint8_t port = 77;
    EXPECT_EQ(RK_OpenIdStr(s, &port), RK_ERR_BAD_ID_STRING) << s;
    EXPECT_EQ(port, 77) << s;
  }
  const std::string longName = std::string(300, 'r') + ",1,57600,100,300";
  uint8_t port = 77;
  EXPECT_EQ(RK_OpenIdStr(longName.c_str(), &port), RK_ERR_BAD_ID_STRING);
  EXPECT_EQ(RK_OpenIdStr(nullptr, &port), platform::kErrInvalidParameter);
  EXPECT_EQ(RK_OpenIdStr("rk.dll,1,57600,100,300", nullptr), platform::kErrInvalidParameter);
}

TEST(IdString, ComNumbersOutsideTheRangeWriteThePortAndFail) {
  uint8_t port = 0;
  EXPECT_EQ(RK_OpenIdStr("rk.dll,17,57600,100,300", &port), RK_ERR_BAD_PORT);
  EXPECT_EQ(port, 16);
  EXPECT_EQ(RK_OpenIdStr("RK.DLL,0,57600,100,300", &port), RK_ERR_BAD_PORT);
  EXPECT_EQ(port, 255);
  EXPECT_EQ(RK_OpenIdStr("rk.dll,-2147483648,57600,100,300", &port), RK_ERR_BAD_PORT);
  EXPECT_EQ(port, 255) << "the lowest COM number less one, reduced to a byte";
}

TEST(Refusals, BadPortNumbers) {
  RkParamBlock b{};
  b.Size = sizeof b;
  RkStatistics st{};
  RkTransferInfo ti{};
  ti.Size = sizeof ti;
  uint16_t v = 0;
  for (uint32_t port : {16u, 255u, 0x110u}) {
    EXPECT_EQ(RK_Open(port, &b), RK_ERR_BAD_PORT);
    EXPECT_EQ(RK_Close(port), RK_ERR_BAD_PORT);
    EXPECT_EQ(RK_Exchange(port, 1, 3, 0, 1, &v), RK_ERR_BAD_PORT);
    EXPECT_EQ(RK_CheckExchange(port, 0), RK_ERR_BAD_PORT);
    EXPECT_EQ(RK_GetParamBlock(port, &b), RK_ERR_BAD_PORT);
    EXPECT_EQ(RK_GetStatistics(port, 1, &st), RK_ERR_BAD_PORT);
    EXPECT_EQ(RK_ResetStatistics(port, 1), RK_ERR_BAD_PORT);
    EXPECT_EQ(RK_GetTransferInfo(port, &ti), RK_ERR_BAD_PORT);
    EXPECT_EQ(RK_SendFile(port, 1, nullptr, "a", "/dev/null"), RK_ERR_BAD_PORT);
    EXPECT_EQ(RK_ReceiveFile(port, 1, nullptr, "a", "/tmp/x"), RK_ERR_BAD_PORT);
    EXPECT_EQ(RK_ReceiveFileCS(port, 1, "a", nullptr, nullptr), RK_ERR_BAD_PORT);
    EXPECT_EQ(RK_DeleteFile(port, 1, nullptr, "a"), RK_ERR_BAD_PORT);
  }
  EXPECT_EQ(RK_Close(0x100), RK_ERR_NOT_OPEN) << "only the low 8 bits count";
}

TEST(Refusals, ClosedPortAndAddress255AndNullPointers) {
  uint16_t v = 0;
  EXPECT_EQ(RK_Close(3), RK_ERR_NOT_OPEN);
  EXPECT_EQ(RK_Exchange(3, 1, 3, 0, 1, &v), RK_ERR_NOT_OPEN);
  EXPECT_EQ(RK_Exchange(3, 1, 7, 0, 1, &v), RK_ERR_NOT_OPEN) << "before the function is looked at";
  EXPECT_EQ(RK_CheckExchange(3, 0), RK_ERR_NOT_OPEN);
  EXPECT_EQ(RK_DeleteFile(3, 1, nullptr, "a"), RK_ERR_NOT_OPEN);

  RkStatistics st{16, 9, 9, 9};
  EXPECT_EQ(RK_GetStatistics(3, 254, &st), RK_OK);
  EXPECT_EQ(st.GoodReplies + st.BadAttempts + st.FailedExchanges, 0u);
  EXPECT_EQ(RK_GetStatistics(3, 255, &st), RK_ERR_BAD_DEVICE);
  EXPECT_EQ(RK_ResetStatistics(3, 255), RK_ERR_BAD_DEVICE);
  EXPECT_EQ(RK_GetStatistics(3, 1, nullptr), platform::kErrInvalidParameter);
  EXPECT_EQ(RK_GetParamBlock(3, nullptr), platform::kErrInvalidParameter);
  EXPECT_EQ(RK_GetTransferInfo(3, nullptr), platform::kErrInvalidParameter);
  EXPECT_EQ(RK_Open(3, nullptr), platform::kErrInvalidParameter);
}

TEST(TransferInfo, ClosedPortHoldsItsInitialRecord) {
  RkTransferInfo ti;
  std::memset(&ti, 0x55, sizeof ti);
  ti.Size = 12;
  ASSERT_EQ(RK_GetTransferInfo(4, &ti), RK_OK);
  EXPECT_EQ(ti.Size, 12u);
  EXPECT_EQ(ti.Operation, 0u);
  EXPECT_EQ(ti.BytesDone, 0u);
  EXPECT_EQ(ti.BytesTotal, 0x55555555u);
}

}  // namespace
