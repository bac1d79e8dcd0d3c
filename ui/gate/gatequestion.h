#ifndef GATEQUESTION_H
#define GATEQUESTION_H

#include <functional>

#include "paramsets/writegate.h"

class QWidget;

// Puts a write to the write gate as the window does: each confirmation it
// names is asked for in turn (not writing is the default), a refusal is
// told. The consent to write with, or false when the write must not go.
bool askGate(QWidget *parent, const std::function<GateAnswer(const WriteConsent &)> &judge, WriteConsent *consent,
             QString *refusal);

#endif // GATEQUESTION_H
