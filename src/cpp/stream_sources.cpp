// What each stream reads from the port, and the Reader calls that start the streams.

#include <utility>

#include "antenna/multi_antenna.h"
#include "cpp/ebv.h"
#include "cpp/filter_record.h"
#include "cpp/outcome_errc.h"
#include "cpp/tag_args.h"
#include "link/frame_format.h"
#include "link/serial/serial_backend.h"
#include "quarn/streams.h"
#include "tags/inventory.h"
#include "tags/multi_tag_read.h"
#include "tags/select_filters.h"

namespace quarn {

namespace detail {

struct StreamAccess {
  using Step = StreamBase::Step;

  template <typename Stream, typename... Args>
  static Stream Make(Args&&... args) {
    return Stream(std::forward<Args>(args)...);
  }

  static void Settle(StreamBase& stream, bool started, const ErrorDetail& detail) {
    if (started) {
      stream.MarkStarted();
    } else {
      stream.FailStart(detail);
    }
  }

  // Sorts a receive's outcome into the stream's steps: silence; a port that is gone (an error: nothing
  // more will come, and a loop must not spin on it); or a frame that is no item, which is skipped.
  static Step StepOf(PortHandle port, const link::Result& result, const char* command, ErrorDetail& detail) {
    if (result.ok()) return Step::kItem;
    switch (result.outcome) {
      case link::Outcome::kNoReply:
        // Silence on a port that hung up is the end of the port, not of the stream.
        if (serial::WaitForInput(port, 0) != serial::InputWait::kGone) return Step::kSilence;
        return Failed(link::Failed(link::Outcome::kPortGone), command, detail);
      case link::Outcome::kPortGone:
      case link::Outcome::kPortUnusable:
        return Failed(result, command, detail);
      default:
        cpp::RecordResult(detail, result);
        return Step::kSkip;
    }
  }

  static Step Failed(const link::Result& result, const char* command, ErrorDetail& detail) {
    detail.command = command;
    cpp::RecordResult(detail, result);
    return Step::kFailed;
  }
};

}  // namespace detail

using detail::ReaderAccess;
using detail::StreamAccess;

namespace {

// A data frame's status: one block, or two.
constexpr uint8_t kTwoBlocks = 0x01;
// Written into frameStatus before a data frame is read: a frame whose status is neither 0x00 nor 0x01
// leaves it so, which tells such a frame from a data frame.
constexpr uint8_t kNoDataFrame = 0xFF;
// The filter report the reader marks as its last.
constexpr uint8_t kLastFilterReport = 0x01;

size_t BlockLength(const uint8_t* length) { return size_t{length[0]} << 8 | length[1]; }

// Runs a stream's start: the exchange start() makes, then the stream settled as started or failed. The
// throwing form (ec null) throws the start's failure.
template <typename Stream, typename StartExchange>
Stream Begin(Reader& reader, Stream stream, const char* command, std::error_code* ec, StartExchange start) {
  std::error_code local;
  std::error_code& code = ec ? *ec : local;
  cpp::Call call(reader, command, code);
  const bool started = call.Ready() && start(call);
  StreamAccess::Settle(stream, started, reader.lastError());
  if (!ec && !started) throw Error(reader.lastError());
  return stream;
}

}  // namespace

// ---- Inventory ----

InventoryStream::InventoryStream(Reader& reader, const StreamOptions& options, bool throws, bool antennaFrames)
    : BasicStream(reader, options, throws, true), antennaFrames_(antennaFrames) {}

StreamBase::Step InventoryStream::ReceiveNext(ErrorDetail& detail) {
  const PortHandle port = ReaderAccess::Port(*reader());
  uint8_t record[cpp::kRecordBuffer];
  uint8_t size = 0;
  uint8_t antenna = 0;
  const link::Result result =
      antennaFrames_ ? quarn::antenna::ReadInventoryFromMultiAnt(port, &antenna, &size, record)
                     : tags::ReadInventory(port, &size, record);
  const Step step = StreamAccess::StepOf(port, result, "Inventory", detail);
  if (step != Step::kItem) return step;
  report_.tag = cpp::RecordIn(record);
  report_.antenna = antennaFrames_ ? std::optional<uint8_t>(antenna) : std::nullopt;
  return step;
}

namespace {

InventoryStream StartInventory(Reader& reader, const StreamOptions& options, bool antennaFrames,
                               std::error_code* ec) {
  auto stream = StreamAccess::Make<InventoryStream>(reader, options, ec == nullptr, antennaFrames);
  const uint32_t hasParam = options.startParameter ? 1 : 0;
  const uint32_t param = options.startParameter.value_or(0);
  return Begin(reader, std::move(stream), antennaFrames ? "InventoryForMultiAnt" : "Inventory", ec,
               [&](cpp::Call& call) {
                 return antennaFrames ? call.Done(quarn::antenna::StartInventoryForMultiAnt(call.port(), hasParam,
                                                                                            param, call.crcFlag()))
                                      : call.Done(tags::StartInventory(call.port(), hasParam, param, call.crcFlag()));
               });
}

}  // namespace

InventoryStream Reader::Inventory(const StreamOptions& options) { return StartInventory(*this, options, false, nullptr); }
InventoryStream Reader::Inventory(const StreamOptions& options, std::error_code& ec) {
  return StartInventory(*this, options, false, &ec);
}
InventoryStream Reader::InventoryForMultiAnt(const StreamOptions& options) {
  return StartInventory(*this, options, true, nullptr);
}
InventoryStream Reader::InventoryForMultiAnt(const StreamOptions& options, std::error_code& ec) {
  return StartInventory(*this, options, true, &ec);
}

// ---- Multi-tag read ----

// The two blocks of one data frame; together they fit one frame, each at most one.
struct MultiTagReadStream::Blocks {
  uint8_t first[link::kFrameBufferSize];
  uint8_t second[link::kFrameBufferSize];
};

MultiTagReadStream::MultiTagReadStream(Reader& reader, const StreamOptions& options, bool throws, bool antennaFrames)
    : BasicStream(reader, options, throws, true), antennaFrames_(antennaFrames), blocks_(new Blocks) {}
MultiTagReadStream::MultiTagReadStream(MultiTagReadStream&&) noexcept = default;
MultiTagReadStream& MultiTagReadStream::operator=(MultiTagReadStream&&) noexcept = default;
MultiTagReadStream::~MultiTagReadStream() = default;

StreamBase::Step MultiTagReadStream::ReceiveNext(ErrorDetail& detail) {
  const PortHandle port = ReaderAccess::Port(*reader());
  uint8_t frameStatus = kNoDataFrame;
  uint8_t firstLength[2] = {0, 0};
  uint8_t secondLength[2] = {0, 0};
  uint8_t record[cpp::kRecordBuffer];
  uint8_t recordLength = 0;
  uint8_t antenna = 0;
  const tags::DataFrameOutputs outputs = {&frameStatus, firstLength,  blocks_->first, secondLength,
                                          blocks_->second, record, &recordLength};
  const link::Result result = antennaFrames_
                                  ? quarn::antenna::GetDataFromMultiAnt(port, &antenna, outputs)
                                  : tags::GetDataFromMultiTag(port, outputs);
  const Step step = StreamAccess::StepOf(port, result, "MultiTagRead", detail);
  if (step != Step::kItem) return step;
  // A frame of the read whose status is neither one block nor two: the reader's own, not a tag's data.
  if (frameStatus == kNoDataFrame) {
    cpp::RecordResult(detail, link::Refused(result.status, link::kNoErrorCode));
    return Step::kSkip;
  }
  data_.tag = cpp::RecordIn(record);
  data_.antenna = antennaFrames_ ? std::optional<uint8_t>(antenna) : std::nullopt;
  data_.frameStatus = frameStatus;
  data_.data = ByteView(blocks_->first, BlockLength(firstLength));
  data_.secondData = frameStatus == kTwoBlocks
                         ? std::optional<ByteView>(ByteView(blocks_->second, BlockLength(secondLength)))
                         : std::nullopt;
  return step;
}

namespace {

// The request in the core's terms, or the reason it cannot be sent. The encoded pointers and option
// bytes live in storage, which must outlive the request.
struct RequestStorage {
  cpp::Ebv pointer{};
  uint8_t optionParams[6] = {};
};

constexpr uint8_t kLongFormBit = 0x01;

const char* ToCoreRequest(const MultiTagReadRequest& request, RequestStorage& storage,
                          tags::MultiTagReadRequest& core) {
  storage.pointer = cpp::EncodeEbv(request.area.start.address());
  if (storage.pointer.size == 0) return "a word pointer goes up to 16383: the reader takes a one- or two-byte EBV";
  size_t size = 0;
  if (request.secondArea) {
    const cpp::Ebv second = cpp::EncodeEbv(request.secondArea->start.address());
    if (second.size == 0) return "the second area's word pointer goes up to 16383";
    storage.optionParams[size++] = static_cast<uint8_t>(request.secondArea->bank);
    for (size_t i = 0; i < second.size; ++i) storage.optionParams[size++] = second.bytes[i];
    storage.optionParams[size++] = request.secondArea->wordCount;
  }
  storage.optionParams[size++] = request.optionBytes[0];
  storage.optionParams[size++] = request.optionBytes[1];
  const uint8_t options =
      static_cast<uint8_t>((request.readOptions & ~kLongFormBit) | (request.secondArea ? kLongFormBit : 0));
  core = {request.password.bytes().data(), static_cast<uint32_t>(request.area.bank), storage.pointer.bytes,
          request.area.wordCount, options, storage.optionParams};
  return nullptr;
}

MultiTagReadStream StartMultiTagRead(Reader& reader, const MultiTagReadRequest& request,
                                     const StreamOptions& options, bool antennaFrames, std::error_code* ec) {
  auto stream = StreamAccess::Make<MultiTagReadStream>(reader, options, ec == nullptr, antennaFrames);
  RequestStorage storage;
  tags::MultiTagReadRequest core{};
  const char* refused = ToCoreRequest(request, storage, core);
  return Begin(reader, std::move(stream), antennaFrames ? "MultiTagReadForMultiAnt" : "MultiTagRead", ec,
               [&](cpp::Call& call) {
                 if (refused) return call.Invalid(refused);
                 return antennaFrames
                            ? call.Done(quarn::antenna::StartReadDataForMultiAnt(call.port(), core, call.crcFlag()))
                            : call.Done(tags::StartReadDataFromMultiTag(call.port(), core, call.crcFlag()));
               });
}

}  // namespace

MultiTagReadStream Reader::MultiTagRead(const MultiTagReadRequest& request, const StreamOptions& options) {
  return StartMultiTagRead(*this, request, options, false, nullptr);
}
MultiTagReadStream Reader::MultiTagRead(const MultiTagReadRequest& request, const StreamOptions& options,
                                        std::error_code& ec) {
  return StartMultiTagRead(*this, request, options, false, &ec);
}
MultiTagReadStream Reader::MultiTagReadForMultiAnt(const MultiTagReadRequest& request, const StreamOptions& options) {
  return StartMultiTagRead(*this, request, options, true, nullptr);
}
MultiTagReadStream Reader::MultiTagReadForMultiAnt(const MultiTagReadRequest& request, const StreamOptions& options,
                                                   std::error_code& ec) {
  return StartMultiTagRead(*this, request, options, true, &ec);
}

// ---- Filter listing ----

FilterListing::FilterListing(Reader& reader, const StreamOptions& options, bool throws)
    : BasicStream(reader, options, throws, false) {}

StreamBase::Step FilterListing::ReceiveNext(ErrorDetail& detail) {
  const PortHandle port = ReaderAccess::Port(*reader());
  FilterRecord record{};
  uint8_t frameStatus = 0;
  const link::Result result = tags::ReadFilterByIndex(port, &frameStatus, &record);
  const Step step = StreamAccess::StepOf(port, result, "ListFilters", detail);
  if (step != Step::kItem) return step;
  filter_ = cpp::FromFilterRecord(record);
  return frameStatus == kLastFilterReport ? Step::kLastItem : Step::kItem;
}

namespace {

FilterListing StartListing(Reader& reader, uint8_t index, uint8_t option, const StreamOptions& options,
                           std::error_code* ec) {
  auto stream = StreamAccess::Make<FilterListing>(reader, options, ec == nullptr);
  return Begin(reader, std::move(stream), "ListFilters", ec, [&](cpp::Call& call) {
    uint8_t errorCode = 0;
    return call.Done(tags::StartGetFilterByIndex(call.port(), index, option, &errorCode, call.crcFlag()));
  });
}

}  // namespace

FilterListing Reader::ListFilters(uint8_t index, uint8_t option, const StreamOptions& options) {
  return StartListing(*this, index, option, options, nullptr);
}
FilterListing Reader::ListFilters(uint8_t index, uint8_t option, const StreamOptions& options, std::error_code& ec) {
  return StartListing(*this, index, option, options, &ec);
}

}  // namespace quarn
