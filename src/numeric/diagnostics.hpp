// Where the argument errors of the numeric library and of the aggregation's
// stages go. An operation given arguments it cannot use says so in a fixed
// message and goes on with a neutral result; the message goes to the sink
// installed for the calling thread, and nowhere when none is. No code of the
// library writes to a stream itself: the program installs a sink that writes
// the messages to its standard output, a test one that keeps them.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace unionbound {

// Takes one message as it reads: a message that ends a line carries its
// line break.
using DiagnosticSink = std::function<void(std::string_view message)>;

// Sends `message` to the calling thread's sink, if it has one.
void diagnose(std::string_view message);

// The calling thread's sink (null when it has none).
const DiagnosticSink* currentDiagnosticSink();

// Makes `sink` (null: none) the calling thread's sink while the scope lasts,
// and the earlier one again after it. The sink must outlive the scope.
class DiagnosticScope {
  public:
    explicit DiagnosticScope(const DiagnosticSink* sink);
    ~DiagnosticScope();
    DiagnosticScope(const DiagnosticScope&) = delete;
    DiagnosticScope& operator=(const DiagnosticScope&) = delete;

  private:
    const DiagnosticSink* saved_;
};

// Keeps the messages of work done in one thread so that another thread can
// send them on later, in their order: the work runs with sink() installed,
// and replay() sends what it said to the sink of the thread that calls it.
class DiagnosticRecord {
  public:
    DiagnosticRecord();
    DiagnosticRecord(const DiagnosticRecord&) = delete;
    DiagnosticRecord& operator=(const DiagnosticRecord&) = delete;

    const DiagnosticSink& sink() const { return sink_; }
    const std::vector<std::string>& messages() const { return messages_; }
    void replay() const;

  private:
    std::vector<std::string> messages_;
    DiagnosticSink sink_;
};

}  // namespace unionbound
