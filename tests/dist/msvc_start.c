/* The start of every_command.c when it is linked as MSVC links a program,
 * with the C runtime DLL's own arguments and exit: the test has no MSVC
 * runtime library to link, only import libraries. */
int main(int argc, char** argv);
int* __cdecl __p___argc(void);
char*** __cdecl __p___argv(void);
void __cdecl exit(int status);

void mainCRTStartup(void)
{
    exit(main(*__p___argc(), *__p___argv()));
}
