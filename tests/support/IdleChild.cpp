// IdleChild.cpp - a process for tests to list, freeze, thaw and end:
//
//     ostrane-idle-child [extra threads [user id]]
//
// takes the user's identity when one is given (and not -1), starts the extra
// threads, writes one byte to its standard output once they all run, and
// then waits until it is killed.

#include <atomic>
#include <cstdlib>
#include <thread>

#include <unistd.h>

int main(int argc, char** argv)
{
    int extraThreads = argc > 1 ? std::atoi(argv[1]) : 0;
    int userId = argc > 2 ? std::atoi(argv[2]) : -1;
    if (userId >= 0 && setresuid(userId, userId, userId) != 0)
        return 1;
    std::atomic<int> running{0};
    for (int i = 0; i < extraThreads; ++i) {
        std::thread([&running] {
            ++running;
            for (;;)
                pause();
        }).detach();
    }
    while (running < extraThreads)
        std::this_thread::yield();
    (void)!write(STDOUT_FILENO, "r", 1);
    close(STDOUT_FILENO);
    for (;;)
        pause();
}
