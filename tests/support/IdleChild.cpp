// SPDX-License-Identifier: GPL-3.0-or-later
// IdleChild.cpp - a process for tests to list, freeze, thaw and end:
//
//     ostrane-idle-child [extra threads [user id [file to map [ending]]]]
//
// takes the user's identity when one is given (and not -1), maps the file
// when one is given and not empty (as a loaded module is), starts the extra
// threads (with "ending", one more that ends once its standard input does),
// writes one byte to its standard output once they all run, and then waits
// until it is killed.

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
    if (argc > 3 && argv[3][0] != '\0') {
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
    if (argc > 4) {
        ++extraThreads;
        std::thread([&running] {
            ++running;
            char byte;
            while (read(STDIN_FILENO, &byte, 1) > 0) {
            }
        }).detach();
    }
    while (running < extraThreads)
        std::this_thread::yield();
    (void)!write(STDOUT_FILENO, "r", 1);
    close(STDOUT_FILENO);
    for (;;)
        pause();
}
