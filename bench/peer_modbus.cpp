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
        switch (option) {
        case Device: options.device = optarg; break;
        case Baud: options.baud = atoi(optarg); break;
        case Slave: options.slave = atoi(optarg); break;
        case Address: options.address = int(strtol(optarg, nullptr, 0)); break;
        case Reads: options.reads = atoi(optarg); break;
        case Seconds: options.seconds = atof(optarg); break;
        default: return false;
        }
    }
    return optind == argc && !options.device.empty() && options.baud > 0 && options.slave >= 1
        && options.slave <= 247 && options.address >= 0 && options.address <= 0xFFFF
        && options.reads >= 0 && options.seconds > 0;
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
