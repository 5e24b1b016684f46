#include "platform/errors.h"

#include <cerrno>
#include <cstring>

namespace platform {

uint32_t codeFromErrno(int err) {
  switch (err) {
    case 0:
      return 0;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return kErrFileNotFound;
    case ENOTDIR:
      return kErrPathNotFound;
    case EMFILE:
    case ENFILE:
      return kErrTooManyOpenFiles;
    case EBUSY:
    case EWOULDBLOCK:
      return kErrPortBusy;
    case EBADF:
      return kErrInvalidHandle;
    case ENOMEM:
      return kErrNotEnoughMemory;
    case EEXIST:
      return kErrFileExists;
    case EINVAL:
      return kErrInvalidParameter;
    case ENOSPC:
    case EDQUOT:
      return kErrDiskFull;
    case ENAMETOOLONG:
      return kErrNameTooLong;
    case ENOTTY:
      return kErrNotSerialPort;
    case EIO:
      return kErrIoDevice;
    case ETIMEDOUT:
      return kErrTimeout;
    case EACCES:
    case EPERM:
      return kErrPermission;
    case EROFS:
      return kErrReadOnly;
    default:
      return kErrnoBase + static_cast<uint32_t>(err);
  }
}

uint32_t lastErrorCode() {
  const uint32_t code = codeFromErrno(errno);
  return code != 0 ? code : kErrIoDevice;
}

std::string systemErrorText(uint32_t code) {
  switch (code) {
    case kErrNotSerialPort:
      return "устройство не является COM-портом";
    case kErrFileNotFound:
      return "не удается найти указанный файл или устройство";
    case kErrPathNotFound:
      return "не удается найти указанный путь";
    case kErrTooManyOpenFiles:
      return "слишком много открытых файлов";
    case kErrPortBusy:
      return "запрашиваемый COM-порт занят";
    case kErrInvalidHandle:
      return "неверный дескриптор";
    case kErrNotEnoughMemory:
      return "недостаточно памяти";
    case kErrReadOnly:
      return "носитель защищен от записи";
    case kErrHandleEof:
      return "достигнут конец файла";
    case kErrBaudRate:
      return "COM-порт не поддерживает заданную скорость обмена";
    case kErrFileExists:
      return "файл существует";
    case kErrInvalidParameter:
      return "недопустимый параметр (пустой указатель или нулевой интервал опроса)";
    case kErrDiskFull:
      return "недостаточно места на диске";
    case kErrNameTooLong:
      return "слишком длинное имя файла";
    case kErrOperationAborted:
      return "операция на COM-порту прервана из-за ошибки на линии";
    case kErrIoDevice:
      return "ошибка ввода-вывода на устройстве";
    case kErrPermission:
      return "нет прав доступа: проверьте права на устройство COM-порта (группа dialout) или на "
             "файл";
    case kErrTimeout:
      return "истекло время ожидания записи в COM-порт";
    default:
      break;
  }
  if (code > kErrnoBase && code < kErrnoBase + 4096) {
    const int err = static_cast<int>(code - kErrnoBase);
    const char *desc = strerrordesc_np(err);
    if (desc != nullptr) return "системная ошибка " + std::to_string(err) + " (" + desc + ")";
  }
  return {};
}

}  // namespace platform
