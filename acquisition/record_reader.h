#pragma once
// A record file read from front to back in pieces, for converters whose memory must not
// grow with the record. The file is checked as the loader checks it (record_file.h),
// and refused with a message also where the loader passes over it silently (shorter
// than the header, slot number not 1..4): asked for one file, a converter says why it
// gives nothing.
#include "acquisition/record_header.h"
#include "platform/atomic_file.h"
#include "platform/read_file.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace osc {

class TRecordReader {
 public:
  // Raises osc::Exception naming `path`. `ops` must outlive the stream.
  explicit TRecordReader(const std::string& path, FileOps& ops = SystemFileOps());

  // The header; Count is cut to the samples the file holds.
  const TRecordHeader& Header() const { return header_; }
  const std::string& Path() const { return file_.Path(); }

  // Samples [first, first + into.size()), at or after the end of the previous read
  // (what lies between is skipped). Raises when the file ends before them.
  void Read(std::uint64_t first, std::span<std::uint8_t> into);

 private:
  TReadFile file_;
  TRecordHeader header_;
  std::uint64_t position_ = 0;  // the next sample the file gives
  std::vector<std::uint8_t> skip_;
};

}  // namespace osc
