// bench_peer: libmodbus as the master, for a yardstick the tool is measured
// against. Reads one holding register back to back from a slave and prints
//   <reads> reads in <seconds> s: <rate> registers/s
// on stdout. Any failed read ends it with a message and exit status 1.
#include <modbus.h>

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

struct Options
{
    std::string device;
    int baud = 9600;
    int slave = 1;
    int address = 0;
    int reads = 0;      // stop after this many reads; 0: after `seconds`
    double seconds = 1; // stop after this long when no count is given
};

void printUsage(FILE *to)
{
    fprintf(to,
            "Usage: bench_peer --device PATH [--baud N] [--slave N] [--address N]\n"
            "                  [--reads N | --seconds T]\n"
            "Reads one holding register back to back over Modbus RTU with libmodbus\n"
            "and prints the rate (default: slave 1, register 0, 9600 baud, 1 s).\n");
}

double monotonicSeconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

// The whole text as a number within [min, max].
bool parseNumber(const char *text, double min, double max, double &number)
{
    char *end = nullptr;
    errno = 0;
    number = strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && number >= min && number <= max;
}

bool parseWhole(const char *text, int min, int max, int &number)
{
    double value = 0;
    if (!parseNumber(text, min, max, value) || value != int(value))
        return false;
    number = int(value);
    return true;
}

bool parseOptions(int argc, char **argv, Options &options)
{
    enum { Device = 1, Baud, Slave, Address, Reads, Seconds };
    static const struct option longOptions[] = {
        {"device", required_argument, nullptr, Device},
        {"baud", required_argument, nullptr, Baud},
        {"slave", required_argument, nullptr, Slave},
        {"address", required_argument, nullptr, Address},
        {"reads", required_argument, nullptr, Reads},
        {"seconds", required_argument, nullptr, Seconds},
        {nullptr, 0, nullptr, 0},
    };
    for (int option; (option = getopt_long(argc, argv, "", longOptions, nullptr)) != -1;) {
        bool valid = true;
        switch (option) {
        case Device: options.device = optarg; break;
        case Baud: valid = parseWhole(optarg, 1, 4000000, options.baud); break;
        case Slave: valid = parseWhole(optarg, 1, 247, options.slave); break;
        case Address: valid = parseWhole(optarg, 0, 0xFFFF, options.address); break;
        case Reads: valid = parseWhole(optarg, 1, 100000000, options.reads); break;
        case Seconds: valid = parseNumber(optarg, 0.001, 3600, options.seconds); break;
        default: return false;
        }
        if (!valid) {
            fprintf(stderr, "bench_peer: bad value '%s'\n", optarg);
            return false;
        }
    }
    return optind == argc && !options.device.empty();
}

modbus_t *connected(const Options &options)
{
    modbus_t *ctx = modbus_new_rtu(options.device.c_str(), options.baud, 'N', 8, 1);
    if (!ctx)
        return nullptr;
    if (modbus_set_slave(ctx, options.slave) != 0 || modbus_connect(ctx) != 0) {
        modbus_free(ctx);
        return nullptr;
    }
    return ctx;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        printUsage(stderr);
        return 2;
    }
    modbus_t *ctx = connected(options);
    if (!ctx) {
        fprintf(stderr, "bench_peer: cannot open %s: %s\n", options.device.c_str(), modbus_strerror(errno));
        return 1;
    }
    const double start = monotonicSeconds();
    double elapsed = 0;
    int reads = 0;
    int status = 0;
    while (options.reads ? reads < options.reads : elapsed < options.seconds) {
        uint16_t value;
        if (modbus_read_registers(ctx, options.address, 1, &value) != 1) {
            fprintf(stderr, "bench_peer: read %d failed: %s\n", reads + 1, modbus_strerror(errno));
            status = 1;
            break;
        }
        ++reads;
        elapsed = monotonicSeconds() - start;
    }
    if (status == 0)
        printf("%d reads in %.3f s: %.1f registers/s\n", reads, elapsed, reads / elapsed);
    modbus_close(ctx);
    modbus_free(ctx);
    return status;
}
