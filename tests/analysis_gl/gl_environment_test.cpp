// Mesa unloads its driver when the last display connection closes, before the
// leak check at exit, which then reports what the driver kept for the process
// as leaked from an unknown module: the OpenGL tests keep the driver loaded.

#include "analysis/d3d_view.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <link.h>

#include <cstring>

namespace {

struct KeepGlDriverLoaded : ::testing::Environment {
    void SetUp() override
    {
        if (!bc::CD3DView::glAvailable())
            return;
        dl_iterate_phdr(
            [](dl_phdr_info* info, size_t, void*) {
                if (std::strstr(info->dlpi_name, "/dri/") ||
                    std::strstr(info->dlpi_name, "gallium"))
                    dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
                return 0;
            },
            nullptr);
    }
};

const auto* const kKeepGlDriverLoaded = ::testing::AddGlobalTestEnvironment(new KeepGlDriverLoaded);

} // namespace
