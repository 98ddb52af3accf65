#pragma once

#include <functional>

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace xcpy::test {

// Runs `check` in a child process, so that limits and identities it takes on end with it; true
// when the check held. With `unprivileged`, a child of root first becomes the user "nobody", so
// permissions hold there too; the folders it looks at must then be reachable by others.
inline bool inChildProcess(const std::function<bool()>& check, bool unprivileged = false) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (unprivileged && ::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            const uid_t uid = nobody ? nobody->pw_uid : 65534;
            const gid_t gid = nobody ? nobody->pw_gid : 65534;
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(2);
        }
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "could not drop privileges";
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

inline bool asUnprivilegedUser(const std::function<bool()>& check) {
    return inChildProcess(check, true);
}

} // namespace xcpy::test
