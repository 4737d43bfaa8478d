#include "packtool.h"

int main(int argc, char** argv)
{
    return packMain(argc, argv, stdout, stderr);
}
