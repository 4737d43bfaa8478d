#include <cstdio>
#include <string>

#include "messages.h"
#include "packtool.h"

int main(int argc, char** argv)
{
    speak(userLanguage());
    if (const std::string unreadable = unreadableArgument(argc, argv); !unreadable.empty()) {
        writeText(stderr, "tolvo-pack: " + unreadable + "\n");
        return 1;
    }
    return packMain(argc, argv, stdout, stderr);
}
