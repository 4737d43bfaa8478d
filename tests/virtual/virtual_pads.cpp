// virtual-pads [NAME:KIND ...] [--tester NAME ...]: attaches these controllers
// in the virtual controllers' Wine session and returns once DirectInput
// lists them, so that the program run next in the session finds them at its
// tovinit (scripts/wine-run runs it so for TOLVO_VIRTUAL_PADS). --tester
// moves NAME as a person does for the Windows check. Exit status 0, or 1
// when they were not listed within 20 s.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "lane.h"

int main(int argc, char** argv)
{
    std::vector<std::string> controllers;
    std::string testers;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--tester") && i + 1 < argc) {
            testers += std::string("tester ") + argv[++i] + "\n";
            continue;
        }
        std::string c = argv[i];
        const size_t colon = c.find(':');
        if (colon == std::string::npos) {
            std::fprintf(stderr, "usage: virtual-pads [NAME:KIND ...] [--tester NAME ...]\n");
            return 2;
        }
        controllers.push_back(c.replace(colon, 1, " "));
    }
    if (lane::folder().empty() || !lane::attach(controllers) || !lane::send(testers)) {
        std::fprintf(stderr, "virtual-pads: the controllers were not listed (TOLVO_VIRTUAL=%s)\n",
                     lane::folder().c_str());
        return 1;
    }
    std::printf("virtual-pads: %zu listed\n", controllers.size());
    return 0;
}
