#ifndef SCANCOMMAND_H
#define SCANCOMMAND_H

class QTextStream;
struct ScanRequest;

// The bus scan of the command line, run to its end in an event loop of its
// own: one line "found: address A, B baud" per hit on `out`, then a
// summary. Returns the exit status: 0 when something answered, 2 when
// nothing did, 1 when the port would not open (the reason goes to `err`),
// 130 when Ctrl+C ended it (after the summary of what it found so far).
int runScanCommand(const ScanRequest &request, QTextStream &out, QTextStream &err);

#endif // SCANCOMMAND_H
