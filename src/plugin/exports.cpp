// The DLL's exports: each command of tolvo.h, entered one call at a time.
// The def file exports exported_NAME as _NAME@16; the commands themselves
// keep their names, so the tests that link the plug-in's objects call them
// without the lock.
#include "boundary.h"
#include "tolvo.h"

namespace {

// The argument types of a command as tolvo.h declares it.
template <class F> struct Arguments;
template <class A, class B, class C, class D> struct Arguments<int(TOLVO_CALL*)(A, B, C, D)> {
    using first = A;
    using second = B;
    using third = C;
    using fourth = D;
};

} // namespace

// No exception crosses a command, so the lock is left on every path.
#define TOLVO_EXPORT(name, ...)                                                                                 \
    extern "C" int TOLVO_CALL exported_##name(                                                                  \
        Arguments<decltype(&name)>::first p1, Arguments<decltype(&name)>::second p2,                            \
        Arguments<decltype(&name)>::third p3, Arguments<decltype(&name)>::fourth p4)                            \
    {                                                                                                           \
        enterCommand();                                                                                         \
        const int status = name(p1, p2, p3, p4);                                                                \
        leaveCommand();                                                                                         \
        return status;                                                                                          \
    }
TOLVO_COMMANDS(TOLVO_EXPORT)
#undef TOLVO_EXPORT
