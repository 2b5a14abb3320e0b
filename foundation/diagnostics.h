// The libraries' only outlet for problems: three hooks and one switch.
// In the shipped programs the hooks discard everything. A listener can be
// installed (tests do) to receive every report with its formatted text.
#ifndef FOUNDATION_DIAGNOSTICS_H
#define FOUNDATION_DIAGNOSTICS_H

// Library-wide switch: 0 at start. While 0, duplicate checks and the
// reference pass's reports are skipped.
extern unsigned char INIDiagnostics;

// tag plus a printf format and its arguments.
int ReportMessage(const char* tag, const char* format, ...);
// tag plus an error number and its arguments (for "me", 5230: the file name).
int ReportMessage(const char* tag, int errorNumber, const char* argument);
int ReportError(int errorNumber, const char* fileName);
void TraceMessage(const char* format, ...);

// One report as a listener sees it. Pointers live for the call only.
struct DiagnosticRecord {
    const char* hook;    // "ReportMessage", "ReportError" or "TraceMessage"
    const char* tag;     // ReportMessage's tag, else null
    const char* format;  // the format given, or null for a numbered report
    int number;          // the error number, or 0
    const char* text;    // the formatted text (numbered reports: the argument)
};
typedef void (*DiagnosticsListener)(const DiagnosticRecord& record);
// Installs a listener (null removes it). Returns the previous one.
DiagnosticsListener SetDiagnosticsListener(DiagnosticsListener listener);

#endif
