#include "sim/state/state_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "sim/state/reader_state.h"

namespace quarn::sim {

namespace {

constexpr const char* kOriginKey = "origin";

std::string Fix(const std::string& path) { return "; delete " + path + " to start afresh"; }

}  // namespace

StateFile::StateFile(std::string path, std::function<void(const std::string&)> notice)
    : path_(std::move(path)), notice_(std::move(notice)) {}

bool StateFile::Attach(VirtualReader& reader) {
  const nlohmann::json start = CaptureState(reader);
  origin_ = StateDigest(start);
  lastSaved_ = start.dump();
  std::ifstream file(path_);
  if (!file) return false;
  std::stringstream text;
  text << file.rdbuf();
  const nlohmann::json saved = nlohmann::json::parse(text.str(), nullptr, false);
  if (saved.is_discarded() || !saved.is_object()) throw StateError("state file " + path_ + " is not JSON" + Fix(path_));
  const auto origin = saved.find(kOriginKey);
  if (origin == saved.end() || !origin->is_string() || origin->get<std::string>() != origin_) {
    if (notice_) {
      notice_("the state in " + path_ + " grew from another scenario or other options; starting afresh (the file " +
              "is replaced at the first change)");
    }
    return false;
  }
  try {
    RestoreState(saved, reader);
  } catch (const StateError& error) {
    throw StateError("state file " + path_ + ": " + error.what() + Fix(path_));
  }
  lastSaved_ = CaptureState(reader).dump();
  return true;
}

void StateFile::SaveIfChanged(const VirtualReader& reader) {
  nlohmann::json state = CaptureState(reader);
  std::string text = state.dump();
  if (text == lastSaved_) return;
  state[kOriginKey] = origin_;
  std::string error;
  if (!Write(state.dump(1) + "\n", &error)) {
    // Said once; the reader goes on, and every later change tries again.
    if (!saveFailed_ && notice_) notice_("cannot save the state to " + path_ + ": " + error);
    saveFailed_ = true;
    return;
  }
  saveFailed_ = false;
  lastSaved_ = std::move(text);
}

bool StateFile::Write(const std::string& text, std::string* error) const {
  const std::string temporary = path_ + ".tmp" + std::to_string(getpid());
  std::FILE* file = std::fopen(temporary.c_str(), "w");
  if (!file) {
    *error = std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const int savedErrno = errno;
  if (std::fclose(file) != 0 || !written) {
    *error = written ? std::strerror(errno) : std::strerror(savedErrno);
    std::remove(temporary.c_str());
    return false;
  }
  if (std::rename(temporary.c_str(), path_.c_str()) != 0) {
    *error = std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace quarn::sim
