#if !defined(_WIN32)
#include "kb/common/UniqueFd.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace {

bool IsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(UniqueFdTest, ClosesExactlyOnceAcrossMovesAndResets) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    {
        kb::UniqueFd readEnd(pipeFds[0]);
        kb::UniqueFd writeEnd(pipeFds[1]);
        kb::UniqueFd moved(std::move(readEnd));
        EXPECT_FALSE(readEnd.Valid());
        EXPECT_EQ(moved.Get(), pipeFds[0]);

        writeEnd = std::move(moved);  // the old write end is closed, the read end carried over
        EXPECT_FALSE(IsOpen(pipeFds[1]));
        EXPECT_TRUE(IsOpen(pipeFds[0]));

        const int released = writeEnd.Release();
        EXPECT_EQ(released, pipeFds[0]);
        EXPECT_FALSE(writeEnd.Valid());
        writeEnd.Reset(released);
    }
    EXPECT_FALSE(IsOpen(pipeFds[0]));
}

}  // namespace
#endif
