// Shared set-up of the OpenGL tests.
//
// Mesa unloads its driver when the last display connection closes, before
// the leak check at exit runs; what the driver kept for the process is then
// reported as leaked from an unknown module. The tests keep the driver loaded.

#include "analysis/d3d_view.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <link.h>

#include <cstring>

namespace {

class KeepGlDriverLoaded : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (!bc::CD3DView::glAvailable())
            return;
        dl_iterate_phdr(
            [](dl_phdr_info* info, size_t, void*) {
                const char* name = info->dlpi_name;
                if (name && (std::strstr(name, "/dri/") || std::strstr(name, "libgallium")))
                    dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
                return 0;
            },
            nullptr);
    }
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new KeepGlDriverLoaded);

} // namespace
