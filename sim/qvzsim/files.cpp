// The sensor side of the file requests 98-103: announce and blocks of an
// upload, length and blocks of a download, checksum and delete.
#include <algorithm>

#include "bytes.h"
#include "crc.h"
#include "device.h"

namespace qvzsim {
namespace {

// The name of a request whose name length (LE, counting the closing zero)
// sits at `at` and whose name runs to the end of the frame. A ';' starts
// options the sensor does not use.
std::optional<std::string> nameAt(std::span<const uint8_t> rq, size_t at) {
  if (rq.size() < at + 2 || rq.size() != at + 2 + le16(rq, at)) return std::nullopt;
  std::string name(rq.begin() + static_cast<long>(at) + 2, rq.end());
  name = name.substr(0, name.find('\0'));
  return name.substr(0, name.find(';'));
}

}  // namespace

std::optional<std::vector<uint8_t>> Device::file(const std::string &name) const {
  if (name == regs::kTableFile) return tableImage();
  const auto it = files_.find(name);
  if (it == files_.end()) return std::nullopt;
  return it->second;
}

void Device::setFile(const std::string &name, std::vector<uint8_t> bytes) {
  if (name == regs::kTableFile) {
    setTableImage(bytes);
    return;
  }
  files_[name] = std::move(bytes);
  save();
}

bool Device::removeFile(const std::string &name) {
  if (files_.erase(name) == 0) return false;
  save();
  return true;
}

std::vector<std::string> Device::fileNames() const {
  std::vector<std::string> names{regs::kTableFile};
  for (const auto &[name, bytes] : files_)
    names.push_back(name);
  return names;
}

Device::Outcome Device::fileRequest(std::span<const uint8_t> rq) {
  auto fail = [&](uint8_t code) { return Outcome{exceptionReply(rq, code)}; };
  std::vector<uint8_t> reply{rq[0], rq[1]};
  switch (rq[1]) {
    case 98: {  // delete
      const auto name = nameAt(rq, 2);
      if (!name) return fail(regs::kIllegalValue);
      if (*name == regs::kTableFile) return fail(regs::kAccessLevel);
      if (name->empty() || !removeFile(*name)) return fail(regs::kRemoteOpen);
      return {reply};
    }
    case 99: {  // announce an upload
      const auto name = rq.size() >= 6 ? nameAt(rq, 6) : std::nullopt;
      if (!name) return fail(regs::kIllegalValue);
      if (name->empty()) return fail(regs::kRemoteOpen);
      const uint32_t length = le32(rq, 2);
      if (length > regs::kMaxFileSize) return fail(regs::kFileTooBig);
      if (*name == regs::kTableFile && length != static_cast<uint32_t>(regs::kTableBytes))
        return fail(regs::kRemoteLength);
      upload_ = Upload{*name, length, {}};
      upload_->data.reserve(length);
      return {reply};
    }
    case 100: {  // one block of the upload
      if (rq.size() < 8 || rq.size() != 8u + le16(rq, 6)) return fail(regs::kIllegalValue);
      if (!upload_) return fail(regs::kNoFileRequest);
      const uint32_t offset = le32(rq, 2);
      const uint32_t count = le16(rq, 6);
      if (offset != upload_->data.size()) return fail(regs::kFilePosition);
      if (uint64_t{offset} + count > upload_->length) return fail(regs::kRemoteLength);
      if (count != regs::kFileBlock && offset + count != upload_->length)
        return fail(regs::kBlockSize);
      upload_->data.insert(upload_->data.end(), rq.begin() + 8, rq.end());
      if (upload_->data.size() == upload_->length) {
        Upload done = std::move(*upload_);
        upload_.reset();
        setFile(done.name, std::move(done.data));
      }
      return {reply};
    }
    case 101: {  // ask for a file: its length
      const auto name = nameAt(rq, 2);
      if (!name) return fail(regs::kIllegalValue);
      download_ = file(*name);
      if (!download_) return fail(regs::kRemoteOpen);
      putLe32(reply, static_cast<uint32_t>(download_->size()));
      return {reply};
    }
    case 102: {  // one block of the download
      if (rq.size() != 6) return fail(regs::kIllegalValue);
      if (!download_) return fail(regs::kNoFileRequest);
      const uint32_t offset = le32(rq, 2);
      if (offset > download_->size()) return fail(regs::kFilePosition);
      const uint32_t count =
          std::min<uint32_t>(regs::kFileBlock, static_cast<uint32_t>(download_->size()) - offset);
      putLe32(reply, offset);
      putLe16(reply, static_cast<uint16_t>(count));
      reply.insert(reply.end(), download_->begin() + offset, download_->begin() + offset + count);
      return {reply};
    }
    case 103: {  // length and checksum
      const auto name = nameAt(rq, 2);
      if (!name) return fail(regs::kIllegalValue);
      const auto content = file(*name);
      if (!content) return fail(regs::kRemoteOpen);
      putLe32(reply, static_cast<uint32_t>(content->size()));
      putLe16(reply, crc16(*content));
      return {reply};
    }
    default:
      return fail(regs::kIllegalFunction);
  }
}

}  // namespace qvzsim
