#pragma once
// The reader's streaming operations as ranges: a continuous inventory, a multi-tag read and a filter
// listing (the first two also in their multi-antenna forms). A Reader call starts the operation and
// hands back a stream; the loop takes one frame per item:
//
//     for (const quarn::TagReport& report : reader.Inventory())
//       std::cout << report.tag.epcHex() << '\n';
//
// or hands each item to a callback (return false to stop early):
//
//     reader.Inventory().ForEach([](const quarn::TagReport& report) { ... return true; });
//
// Ending. A stream ends when maxItems items came, when its duration has passed (checked between frames,
// so it may run on by up to one receive's wait), on silence (a receive that got nothing within its time
// limit, about 3 s on a real port; unless endOnSilence is false), when the reader marks the last report
// of a filter listing, on Stop(), or on an error. endedBy() tells which. Frames that are not items (a
// reply to something else, a damaged frame) are skipped and counted in skippedFrames().
//
// Stopping. The reader streams inventory reports and multi-tag data until it is told to stop. A stream
// sends that stop (the reader's stop command, as StopOperation) when it ends, and at the latest when it
// is destroyed, however the loop around it ended: break, return or an exception. Looping over the
// temporary a Reader call returns stops the reader as soon as the loop is left. Stop() stops it at once
// and reports whether the reader confirmed; the destructor cannot report that. A filter listing ends by
// itself and sends no stop; any later command discards its reports not yet read.
//
// Errors. A stream made by the throwing form of a Reader call throws quarn::Error from begin() and
// operator++ when the port is gone or another failure ends it (a failed stop included). A stream made by
// the error_code form never throws (but std::bad_alloc when it is made): the loop just ends, and error()
// and Reader::lastError() tell why. Silence is an end, not an error; a port that is gone is an error and
// never silence, so a loop never spins on a dead port.
//
// Storage. A stream keeps the current item inside itself and reuses it for every frame: the loop
// allocates nothing. The item (and the byte views of TagData) is valid until the stream moves on; copy
// what must outlive that. A stream refers to its Reader: the Reader must stay alive and in place (not
// moved) while the stream exists, and must not be used for other commands meanwhile (a command sent
// would discard the stream's frames not yet read). Streams are move-only.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <system_error>
#include <type_traits>

#include "quarn/bytes.h"
#include "quarn/config.h"
#include "quarn/error.h"
#include "quarn/filter.h"
#include "quarn/tag.h"

namespace quarn {

class Reader;

namespace detail {
struct StreamAccess;
}

struct StreamOptions {
  size_t maxItems = 0;                    // end after this many items; 0: no limit
  std::chrono::milliseconds duration{0};  // end once this much time has passed; 0: no limit
  bool endOnSilence = true;               // a receive that gets nothing in time ends the stream
  // Inventory only: the start's parameter byte (the form with a parameter, code 0x11), passed to the
  // reader uninterpreted; none sends the start without one (code 0x10).
  std::optional<uint8_t> startParameter;
};

// Why a stream ended.
enum class StreamEnd : uint8_t {
  kRunning,     // it has not ended
  kLimit,       // maxItems or duration reached
  kSilence,     // nothing came within a receive's time limit
  kLastReport,  // a filter listing's report marked as the last (frame status 0x01)
  kStopped,     // Stop() was called
  kError,       // error() and Reader::lastError() tell why
};

// One tag report of an inventory.
struct TagReport {
  TagRecord tag;
  std::optional<uint8_t> antenna;  // the multi-antenna form's antenna number, as the reader sends it
};

// Where in a tag's memory to read.
struct MemoryArea {
  MemoryBank bank = MemoryBank::kUser;
  WordPointer start = 0;
  uint8_t wordCount = 1;
};

// What a multi-tag read asks the reader to read from every tag it meets.
struct MultiTagReadRequest {
  Password password;
  MemoryArea area;
  // A second area read in the same pass: the request's long form (bit 0 of the options byte set).
  std::optional<MemoryArea> secondArea;
  // The options byte; bit 0 is set from secondArea, the other bits are passed to the reader as given.
  uint8_t readOptions = 0;
  // The two bytes the request ends with, the reader's own (the virtual reader takes a round count, 0
  // for until stopped, and a spare byte).
  std::array<uint8_t, 2> optionBytes{};
};

// One data frame of a multi-tag read.
struct TagData {
  TagRecord tag;
  std::optional<uint8_t> antenna;  // the multi-antenna form's antenna number
  uint8_t frameStatus = 0;         // 0x00: one block; 0x01: two
  ByteView data;                   // the first block; valid until the stream moves on
  std::optional<ByteView> secondData;  // the second block (frameStatus 0x01)
};

// An input iterator over a stream's items. Incrementing reads the next frame from the port.
template <typename Stream, typename Item>
class StreamIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = Item;
  using difference_type = std::ptrdiff_t;
  using pointer = const Item*;
  using reference = const Item&;

  StreamIterator() = default;
  explicit StreamIterator(Stream* stream) : stream_(stream) {}

  reference operator*() const { return stream_->current(); }
  pointer operator->() const { return &stream_->current(); }
  StreamIterator& operator++() {
    if (!stream_->Advance()) stream_ = nullptr;
    return *this;
  }
  void operator++(int) { ++*this; }

  friend bool operator==(const StreamIterator& a, const StreamIterator& b) { return a.stream_ == b.stream_; }
  friend bool operator!=(const StreamIterator& a, const StreamIterator& b) { return !(a == b); }

 private:
  Stream* stream_ = nullptr;
};

// What every stream shares: the limits, the end, the stop and the two error forms.
class QUARN_CPP_API StreamBase {
 public:
  StreamBase(const StreamBase&) = delete;
  StreamBase& operator=(const StreamBase&) = delete;
  virtual ~StreamBase();

  StreamEnd endedBy() const { return endedBy_; }
  bool running() const { return endedBy_ == StreamEnd::kRunning; }
  // Why the stream ended with kError; empty otherwise.
  const std::error_code& error() const { return error_; }
  // Items handed out so far, and frames skipped because they were not items.
  size_t count() const { return count_; }
  size_t skippedFrames() const { return skipped_; }
  // Why the last skipped frame was skipped (kCrcMismatch, kOtherCommand, ...); empty before the first.
  const std::error_code& lastSkipReason() const { return lastSkip_; }

  // Ends the stream now and stops the reader's operation; throws quarn::Error when the reader does not
  // confirm the stop. Nothing happens when the stream has already ended.
  void Stop();
  void Stop(std::error_code& ec);

  // Moves to the next item; false when the stream has ended. What the iterator's ++ calls.
  bool Advance();

 protected:
  enum class Step {
    kItem,      // current() holds a new item
    kLastItem,  // the same, and the reader marked it as its last
    kSkip,      // a frame that is no item was consumed
    kSilence,   // nothing came in time
    kFailed,    // the detail says why; the stream ends with an error
  };

  StreamBase(Reader& reader, const StreamOptions& options, bool throws, bool stopsReader);
  StreamBase(StreamBase&& other) noexcept;
  StreamBase& operator=(StreamBase&& other) noexcept;

  // Reads one frame into the current item.
  virtual Step ReceiveNext(ErrorDetail& detail) = 0;

  // For the Reader calls that start a stream: the start failed.
  void FailStart(const ErrorDetail& detail);
  // A started stream: what a Reader call does once the reader acknowledged the start.
  void MarkStarted();
  // The iteration's first step: reads the first item once.
  bool BeginIteration();
  // Ends after the callback form's loop, as the mode says (throw, or keep the error).
  void StopAfterLoop();

  Reader* reader() const { return reader_; }

 private:
  friend struct detail::StreamAccess;

  // Ends the stream for reason and stops the reader; false, for Advance to return.
  bool End(StreamEnd reason);
  bool SendStop(std::error_code& ec);
  bool Fail(const ErrorDetail& detail);
  bool DeadlinePassed() const;
  void MoveFrom(StreamBase& other) noexcept;
  void StopQuietly() noexcept;

  Reader* reader_ = nullptr;
  size_t maxItems_ = 0;
  uint32_t durationMs_ = 0;
  bool endOnSilence_ = true;
  bool throws_ = true;
  bool stopsReader_ = false;
  bool stopOwed_ = false;  // the reader streams until told to stop
  bool begun_ = false;
  bool lastSeen_ = false;
  uint32_t startTick_ = 0;
  size_t count_ = 0;
  size_t skipped_ = 0;
  std::error_code lastSkip_;
  StreamEnd endedBy_ = StreamEnd::kRunning;
  std::error_code error_;
};

// The range and callback faces shared by every stream: begin() and end() for range-for, ForEach for a
// callback taking const Item& and returning void (every item) or bool (false ends the loop). ForEach
// stops the reader's operation before it returns the number of items it handed over.
template <typename Derived, typename Item>
class BasicStream : public StreamBase {
 public:
  using iterator = StreamIterator<BasicStream, Item>;

  // Reads the first item when first called; afterwards, continues where the stream stands.
  iterator begin() { return BeginIteration() ? iterator(this) : iterator(); }
  iterator end() { return iterator(); }
  const Item& current() const { return static_cast<const Derived*>(this)->item(); }

  template <typename F>
  size_t ForEach(F&& callback) {
    size_t handed = 0;
    for (const Item& item : *this) {
      ++handed;
      if constexpr (std::is_same_v<std::invoke_result_t<F&, const Item&>, bool>) {
        if (!callback(item)) break;
      } else {
        callback(item);
      }
    }
    StopAfterLoop();
    return handed;
  }

 protected:
  using StreamBase::StreamBase;
};

// A continuous inventory, single- or multi-antenna (Reader::Inventory, Reader::InventoryForMultiAnt).
class QUARN_CPP_API InventoryStream final : public BasicStream<InventoryStream, TagReport> {
 public:
  InventoryStream(InventoryStream&&) noexcept = default;
  InventoryStream& operator=(InventoryStream&&) noexcept = default;
  ~InventoryStream() override = default;

  const TagReport& item() const { return report_; }

 private:
  friend struct detail::StreamAccess;
  InventoryStream(Reader& reader, const StreamOptions& options, bool throws, bool antennaFrames);
  Step ReceiveNext(ErrorDetail& detail) override;

  bool antennaFrames_ = false;
  TagReport report_;
};

// A multi-tag read, single- or multi-antenna (Reader::MultiTagRead, Reader::MultiTagReadForMultiAnt).
// Its two block buffers are allocated once, when it is made.
class QUARN_CPP_API MultiTagReadStream final : public BasicStream<MultiTagReadStream, TagData> {
 public:
  MultiTagReadStream(MultiTagReadStream&&) noexcept;
  MultiTagReadStream& operator=(MultiTagReadStream&&) noexcept;
  ~MultiTagReadStream() override;

  const TagData& item() const { return data_; }

 private:
  friend struct detail::StreamAccess;
  struct Blocks;
  MultiTagReadStream(Reader& reader, const StreamOptions& options, bool throws, bool antennaFrames);
  Step ReceiveNext(ErrorDetail& detail) override;

  bool antennaFrames_ = false;
  std::unique_ptr<Blocks> blocks_;
  TagData data_;
};

// The reports of a filter listing (Reader::ListFilters). It ends after the report the reader marks as
// its last (frame status 0x01), or on silence, and sends no stop.
class QUARN_CPP_API FilterListing final : public BasicStream<FilterListing, Filter> {
 public:
  FilterListing(FilterListing&&) noexcept = default;
  FilterListing& operator=(FilterListing&&) noexcept = default;
  ~FilterListing() override = default;

  const Filter& item() const { return filter_; }

 private:
  friend struct detail::StreamAccess;
  FilterListing(Reader& reader, const StreamOptions& options, bool throws);
  Step ReceiveNext(ErrorDetail& detail) override;

  Filter filter_;
};

}  // namespace quarn
