// IdleChild.cpp - a process for tests to list, freeze, thaw and end:
//
//     ostrane-idle-child [extra threads [user id [file to map]]]
//
// takes the user's identity when one is given (and not -1), maps the file
// when one is given (as a loaded module is), starts the extra threads, writes
// one byte to its standard output once they all run, and then waits until it
// is killed.

#include <atomic>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    int extraThreads = argc > 1 ? std::atoi(argv[1]) : 0;
    int userId = argc > 2 ? std::atoi(argv[2]) : -1;
    if (userId >= 0 && setresuid(userId, userId, userId) != 0)
        return 1;
    if (argc > 3) {
        int file = open(argv[3], O_RDONLY | O_CLOEXEC);
        if (file < 0 || mmap(nullptr, 1, PROT_READ, MAP_PRIVATE, file, 0) == MAP_FAILED)
            return 1;
        close(file);
    }
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
