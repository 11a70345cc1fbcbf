// Libraries that look like plug-ins but are not good ones, for the host's error paths. Exactly
// one of the QXA_BROKEN_* macros is defined per library. Test code only.
#include "qxa_abi.h"

#include <cstring>

#if defined(_WIN32)
#define TEST_EXPORT extern "C" __declspec(dllexport)
#else
#define TEST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#if defined(QXA_BROKEN_NO_ENTRY)
// A library without QXAPluginMain.
TEST_EXPORT int notAPlugin() {
    return 42;
}

#elif defined(QXA_BROKEN_REFUSES)
// An entry function that refuses to build anything.
TEST_EXPORT DescriptorRecord* QXAPluginMain(HostCallback) {
    return nullptr;
}

#elif defined(QXA_BROKEN_SIGNATURE)
// A record with the wrong magic.
static DescriptorRecord record;
TEST_EXPORT DescriptorRecord* QXAPluginMain(HostCallback) {
    std::memset(&record, 0, sizeof(record));
    record.signature = fourCharCode('N', 'o', 'p', 'e');
    return &record;
}
#endif
