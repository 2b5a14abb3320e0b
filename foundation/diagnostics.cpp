// The diagnostic hooks. Without a listener every report is dropped unformatted
// and the hooks return 0; with one, the text is formatted into a temporary
// block and handed over for the duration of the call.
#include "foundation/diagnostics.h"

#include <new>
#include <stdarg.h>
#include <stdio.h>

unsigned char INIDiagnostics = 0;

namespace {

DiagnosticsListener gListener = nullptr;

void Deliver(const char* hook, const char* tag, const char* format, int number, const char* text) {
    DiagnosticRecord record;
    record.hook = hook;
    record.tag = tag;
    record.format = format;
    record.number = number;
    record.text = text;
    gListener(record);
}

// Formats into a fitting block and delivers it. When no block can be had the
// record still goes out, with the format itself as its text.
void DeliverFormatted(const char* hook, const char* tag, const char* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    int length = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    char* text = length >= 0 ? new (std::nothrow) char[static_cast<size_t>(length) + 1] : nullptr;
    if (text != nullptr) {
        vsnprintf(text, static_cast<size_t>(length) + 1, format, args);
    }
    Deliver(hook, tag, format, 0, text != nullptr ? text : format);
    delete[] text;
}

}  // namespace

int ReportMessage(const char* tag, const char* format, ...) {
    if (gListener == nullptr) {
        return 0;
    }
    va_list args;
    va_start(args, format);
    DeliverFormatted("ReportMessage", tag, format, args);
    va_end(args);
    return 0;
}

int ReportMessage(const char* tag, int errorNumber, const char* argument) {
    if (gListener != nullptr) {
        Deliver("ReportMessage", tag, nullptr, errorNumber, argument);
    }
    return 0;
}

int ReportError(int errorNumber, const char* fileName) {
    if (gListener != nullptr) {
        Deliver("ReportError", nullptr, nullptr, errorNumber, fileName);
    }
    return 0;
}

void TraceMessage(const char* format, ...) {
    if (gListener == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    DeliverFormatted("TraceMessage", nullptr, format, args);
    va_end(args);
}

DiagnosticsListener SetDiagnosticsListener(DiagnosticsListener listener) {
    DiagnosticsListener previous = gListener;
    gListener = listener;
    return previous;
}
