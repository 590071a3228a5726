#include "watch.h"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "mqtt_sink.h"
#include "signals.h"
#include "stdout_sink.h"
#include "supervisor.h"

namespace quarn::watch {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr Millis kMainWait{500};

class StderrLog {
 public:
  void operator()(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::fprintf(stderr, "quarn watch: %s\n", line.c_str());
    std::fflush(stderr);
  }

 private:
  std::mutex mutex_;
};

struct Fatal {
  std::mutex mutex;
  std::string message;
};

}  // namespace

int RunWatch(const WatchConfig& config, const SessionFactory& factory, const std::optional<BrokerSettings>& broker) {
  StopSignal stop;
  SignalWatch signals(stop);  // before any thread, so every thread leaves the signals to it
  auto log = std::make_shared<StderrLog>();
  auto logLine = [log](const std::string& line) { (*log)(line); };
  auto fatal = std::make_shared<Fatal>();

  std::vector<std::unique_ptr<Sink>> sinks;
  if (config.stdoutMode != StdoutMode::kNone)
    sinks.push_back(std::make_unique<StdoutSink>(
        STDOUT_FILENO,
        config.stdoutMode == StdoutMode::kAll ? StdoutSink::Mode::kAll : StdoutSink::Mode::kStatusOnly,
        config.stdoutQueue));
  if (broker)
    sinks.push_back(std::make_unique<MqttSink>(*broker, logLine, [fatal, &stop](const std::string& message) {
      {
        std::lock_guard<std::mutex> lock(fatal->mutex);
        if (fatal->message.empty()) fatal->message = message;
      }
      stop.Request();
    }));
  std::vector<Sink*> outputs;
  for (auto& sink : sinks) outputs.push_back(sink.get());

  SystemClock clock;
  SupervisorOptions options = config.supervision;
  options.log = logLine;
  std::vector<std::unique_ptr<ReaderSession>> sessions;
  std::vector<std::unique_ptr<Supervisor>> supervisors;
  for (const ReaderSettings& reader : config.readers) {
    sessions.push_back(factory(reader));
    supervisors.push_back(std::make_unique<Supervisor>(reader, *sessions.back(), clock, outputs, options));
  }
  std::vector<std::thread> threads;
  for (auto& supervisor : supervisors) threads.emplace_back([&supervisor, &stop] { supervisor->Run(stop); });

  while (!stop.WaitFor(kMainWait)) {
  }
  for (auto& thread : threads) thread.join();
  for (auto& sink : sinks) sink->Finish(config.finishLimit);
  sinks.clear();

  std::lock_guard<std::mutex> lock(fatal->mutex);
  if (fatal->message.empty()) return kExitOk;
  logLine(fatal->message);
  return kExitFailed;
}

}  // namespace quarn::watch
