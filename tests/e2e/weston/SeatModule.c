/* A weston module that gives the headless backend a seat with a keyboard and a pointer. The
 * headless backend has no input devices, and SDL's Wayland driver cannot start on a compositor
 * without a seat; every real desktop has one. Loaded with weston --modules=<path>. */
#include <libweston/libweston.h>
#include <stdlib.h>

/* Exported by libweston but declared only in its private headers. */
void weston_seat_init(struct weston_seat* seat, struct weston_compositor* ec, const char* seat_name);
int weston_seat_init_keyboard(struct weston_seat* seat, struct xkb_keymap* keymap);
int weston_seat_init_pointer(struct weston_seat* seat);

WL_EXPORT int wet_module_init(struct weston_compositor* compositor, int* argc, char* argv[]) {
    (void)argc;
    (void)argv;
    struct weston_seat* seat = calloc(1, sizeof *seat);
    if (!seat) return -1;
    weston_seat_init(seat, compositor, "default");
    if (weston_seat_init_keyboard(seat, NULL) < 0 || weston_seat_init_pointer(seat) < 0) return -1;
    return 0;
}
