/* every_command PACK: a C program built from the release archive alone (its
 * tolvo.h and one of its import libraries) that calls each of the 40
 * commands by its plain name. The loader resolves every import against the
 * shipped tolvo.dll; each answer shows that the call reached its command and
 * that the arguments arrived. PACK is the demo's pack, which holds
 * greeting.txt. Exit status 0 when every answer is the expected one. It
 * calls only what every C runtime DLL exports, so that it also links as
 * MSVC links it. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "tolvo.h"

static int g_failures;

static void expect(const char* what, long got, long want)
{
    if (got != want) {
        printf("%s: got %ld, expected %ld\n", what, got, want);
        ++g_failures;
    }
}

/* A command's status, and the value it stored where there is one. */
#define STATUS(call, want) expect(#call, (call), (want))
#define STORES(call, r, want) (STATUS(call, 0), expect(#call " stores", (r), (want)))

int main(int argc, char** argv)
{
    int32_t r = 0;
    uint32_t storage[64];
    TolvoVar var;
    char pack[256];
    char text[32] = "";
    FILE* f;

    memset(&var, 0, sizeof var);
    memset(storage, 0, sizeof storage);
    var.type = TOLVO_TYPE_INT;
    var.word_count = 16;
    var.data = storage;
    if (argc != 2 || strlen(argv[1]) + 3 > sizeof pack) {
        printf("usage: every_command PACK\n");
        return 2;
    }
    strcat(strcpy(pack, argv[1]), ",0");

    /* Utilities need no engine. */
    STORES(tovsqr(&r, 99, 0, 0), r, 9);
    STORES(tovsin(&r, 64, 0, 0), r, 256);
    STORES(tovcos(&r, 0, 0, 0), r, -256);
    STORES(tovatan(&r, 1, 0, 0), r, 127);
    STORES(tovfps(&r, 0, 0, 0), r, 1); /* the first call after loading */
    STORES(tovdxver(&var, 0, 0, 0), var.type, TOLVO_TYPE_STRING);
    expect("tovdxver's text has at least two characters", strlen((const char*)storage) >= 2, 1);

    /* Packs. */
    STATUS(tovdpmload(0, pack, 0, 0), 0);
    STORES(tovdpmsize(&var, "GREETING.TXT", 0, 0), (long)storage[0], 23);
    STATUS(tovdpmread(&var, "greeting.txt", 0, 0), 0);
    expect("tovdpmread's words", var.word_count, 6);
    expect("tovdpmread's text", var.data && !memcmp(var.data, "Hello from a DPMX pack.", 23), 1);

    /* test writes the variable's storage to test.dat. */
    memcpy(storage, "tolvo\0\0", 8);
    var.data = storage;
    var.word_count = 2;
    STATUS(test(&var, 0, 0, 0), 0);
    f = fopen("test.dat", "rb");
    expect("test.dat holds the 8 bytes", f && fread(text, 1, sizeof text, f) == 8 && !strcmp(text, "tolvo"), 1);
    if (f)
        fclose(f);
    STATUS(tovsysmode(2, 0, 0, 0), 0); /* a mode that changes nothing */

    /* With no engine started, input and movie commands answer -1, music -9
     * (an empty slot is looked at first by the two play commands). */
    STATUS(tovmousestate(&r, 0, 0, 0), -1);
    STATUS(tovkeystate(&r, 0, 0, 0), -1);
    STATUS(tovkeytrigger(&r, 0, 0, 0), -1);
    STATUS(tovjoynum(&r, 0, 0, 0), -1);
    STATUS(tovjoyname(&var, 0, 0, 0), -1);
    STATUS(tovjoyforce(&var, 0, 0, 0), -1);
    STATUS(tovjoystate(&r, 0, 0, 0), -1);
    STATUS(tovjoytrigger(&r, 0, 0, 0), -1);
    STATUS(tovjoyshock(0, 0, 0, 0), -1);
    STATUS(tovjoystate(&r, 8, 0, 0), -2); /* outside 0 to 7 */
    STATUS(tovmusicload(0, "theme.ogg", 0, 0), -9);
    STATUS(tovmusicload2(&var, 0, 0, 0), -9);
    STATUS(tovmusicplay(0, 0, 0, 0), -1);
    STATUS(tovmusicplay2(0, 0, 0, 0), -2);
    STATUS(tovmusicstop(0, 0, 0, 0), -9);
    STATUS(tovmusicsetpos(1, 100, 0, 0), -9);
    STATUS(tovmusicgetvol(&r, 0, 0, 0), -9);
    STATUS(tovmusicsetvol(0, -100, 0, 0), -9);
    STATUS(tovmusicgettenpo(&r, 0, 0, 0), -9);
    STATUS(tovmusicsettenpo(10, 0, 0, 0), -9);
    STATUS(tovmusiccheck(0, 0, 0, 0), -9);
    STATUS(tovmusicfx(0, 0, 0, 0), -9);
    STATUS(tovmovieload("intro.avi", 0, 0, 0), -1);
    STATUS(tovmovieplay(0, 0, 0, 0), -1);
    STATUS(tovmoviestop(0, 0, 0, 0), -1);
    STATUS(tovmoviecheck(0, 0, 0, 0), -1);
    STATUS(tovmoviesize(0, 0, 32, 32), -1);
    STATUS(tovmoviefree(0, 0, 0, 0), -1);

    /* The movie engine on a window of this program, then the end. */
    {
        TolvoWindowInfo info;
        memset(&info, 0, sizeof info);
        info.hwnd = CreateWindowA("STATIC", "every_command", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
        info.hinstance = GetModuleHandleA(NULL);
        STATUS(tovinit(&info, 4, 0, 0), 0);
        STATUS(tovmoviestop(0, 0, 0, 0), 0);
        STATUS(tovbye(0, 0, 0, 0), 0);
        STATUS(tovmoviestop(0, 0, 0, 0), -1);
        DestroyWindow(info.hwnd);
    }

    printf("%s\n", g_failures ? "some commands answered wrongly" : "all 40 commands answered as expected");
    return g_failures ? 1 : 0;
}
