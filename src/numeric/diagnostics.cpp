#include "numeric/diagnostics.hpp"

namespace unionbound {

namespace {

thread_local const DiagnosticSink* tSink = nullptr;

}  // namespace

void diagnose(std::string_view message) {
    if (tSink != nullptr && *tSink) {
        (*tSink)(message);
    }
}

const DiagnosticSink* currentDiagnosticSink() {
    return tSink;
}

DiagnosticScope::DiagnosticScope(const DiagnosticSink* sink) : saved_(tSink) {
    tSink = sink;
}

DiagnosticScope::~DiagnosticScope() {
    tSink = saved_;
}

DiagnosticRecord::DiagnosticRecord()
    : sink_([this](std::string_view message) { messages_.emplace_back(message); }) {}

void DiagnosticRecord::replay() const {
    for (const std::string& message : messages_) {
        diagnose(message);
    }
}

}  // namespace unionbound
