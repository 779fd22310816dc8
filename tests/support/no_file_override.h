#pragma once
// Lets file permissions hold for the calling thread even when the tests run as
// root: while a NoFileOverride lives, the thread's effective capabilities to
// override file permissions are dropped (they stay permitted and come back at
// the end). Outside root it does nothing: permissions hold anyway.

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace bc::test {

class NoFileOverride {
  public:
    NoFileOverride()
    {
        if (::geteuid() != 0 || !caps(SYS_capget, saved_))
            return;
        __user_cap_data_struct less[2] = {saved_[0], saved_[1]};
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            less[cap / 32].effective &= ~(1u << (cap % 32));
        active_ = caps(SYS_capset, less);
    }
    ~NoFileOverride()
    {
        if (active_)
            caps(SYS_capset, saved_);
    }
    NoFileOverride(const NoFileOverride&) = delete;
    NoFileOverride& operator=(const NoFileOverride&) = delete;

  private:
    static bool caps(long call, __user_cap_data_struct* data)
    {
        __user_cap_header_struct head{_LINUX_CAPABILITY_VERSION_3, 0};
        return ::syscall(call, &head, data) == 0;
    }

    __user_cap_data_struct saved_[2] = {};
    bool active_ = false;
};

} // namespace bc::test
