#pragma once

#include <initializer_list>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

// Root ignores permission bits. While this lives, root acts as the owner of the given paths,
// an ordinary user, in every thread of the process (the effective user is process-wide, where
// capabilities are not): background work obeys the bits too. Others obey them anyway.
struct ObeyPermissions {
    static constexpr uid_t kUser = 65534;
    bool switched = false;
    explicit ObeyPermissions(std::initializer_list<const char*> owned)
    {
        if (::geteuid() != 0)
            return;
        for (const char* path : owned)
            (void)::chown(path, kUser, kUser);
        switched = ::setegid(kUser) == 0 && ::seteuid(kUser) == 0;
    }
    ~ObeyPermissions()
    {
        if (!switched)
            return;
        // The user first: only root may change the group back.
        [[maybe_unused]] const int user = ::seteuid(0);
        [[maybe_unused]] const int group = ::setegid(0);
    }
};

// While this lives no file may grow past the given size: a longer write stops part way, as on
// a full disk.
struct FileSizeLimit {
    rlimit saved{};
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit limited{bytes, saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved); }
};
