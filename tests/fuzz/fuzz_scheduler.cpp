// The scheduler among clients and a misbehaving driver, every choice read
// from the input: each request gets exactly one outcome, and an answered one
// carries its own registers' values.
#include "fuzzsupport.h"
#include "support/schedulermodel.h"

#include <QCoreApplication>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    size_t next = 0;
    // Past the input's end every choice is 0: the model ticks until done.
    SchedulerModel model([&](quint32 bound) { return next < size ? quint32(data[next++]) % bound : 0u; });
    while (next < size)
        model.step();
    for (int tick = 0; tick < 200; ++tick)
        model.step();
    model.finish();
    if (!model.violations().isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(model.violations().join(QLatin1String("; "))));
    FUZZ_CHECK(model.violations().isEmpty());
    return 0;
}
