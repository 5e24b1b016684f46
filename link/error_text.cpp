// RK_GetErrorText: the Russian text of a result code, in CP1251.
#include <cstdio>
#include <cstring>
#include <string>

#include "link/rk.h"
#include "platform/cp1251.h"
#include "platform/errors.h"

namespace rk {
namespace {

struct CodeText {
  uint32_t code;
  const char *text;  // UTF-8
};

constexpr CodeText kTexts[] = {
    {RK_SYS_ACCESS_DENIED, "запрашиваемый COM-порт занят"},
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
};

// Codes with this bit that have no text of their own read "ошибка XXXXXXXX".
constexpr uint32_t kCustomerBit = 0x20000000;
// The longest operating-system text, terminator included.
constexpr size_t kMaxSystemText = 2000;

std::string textOf(uint32_t code) {
  if (code == RK_OK) return {};
  for (const CodeText &t : kTexts) {
    if (t.code == code) return platform::utf8ToCp1251(t.text);
  }
  if ((code & kCustomerBit) != 0) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "ошибка %08X", code);
    return platform::utf8ToCp1251(buf);
  }
  std::string text = platform::utf8ToCp1251(platform::systemErrorText(code));
  if (text.size() >= kMaxSystemText) text.resize(kMaxSystemText - 1);
  return text;
}

}  // namespace
}  // namespace rk

extern "C" RK_API uint32_t RK_GetErrorText(uint32_t code, char *text, uint32_t capacity) {
  if (text == nullptr || capacity == 0) return 0;
  const std::string t = rk::textOf(code);
  const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(t.size()), capacity - 1);
  std::memcpy(text, t.data(), n);
  text[n] = '\0';
  return n;
}
