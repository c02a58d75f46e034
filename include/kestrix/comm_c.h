#ifndef KESTRIX_COMM_C_H
#define KESTRIX_COMM_C_H
/* Kestrix display boards from C and from other languages (Python's ctypes, ...): the
 * operations of CComm (kestrix/comm.h) as plain functions on an opaque handle. Results and
 * rules are those of CComm; answers are the board's character as an int ('>' is 62), 0 when
 * the board gave none. Every function accepts a NULL handle: it does nothing and returns its
 * failure value (-2 from kestrix_comm_open, 0 from the operations that return an answer).
 *
 * Thread safety: one handle is used by one thread at a time. Different handles (on different
 * ports) may be used by different threads at once; they share nothing. */

#if defined(_WIN32)
#if defined(KESTRIX_COMM_BUILDING)
#define KESTRIX_COMM_C_API __declspec(dllexport)
#else
#define KESTRIX_COMM_C_API __declspec(dllimport)
#endif
#else
#define KESTRIX_COMM_C_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct kestrix_comm kestrix_comm;

/* The fields of a time that kestrix_comm_set_time sends. */
typedef struct kestrix_time {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
} kestrix_time;

/* Called with the time text before it is sent, and the context given with it. */
typedef void (*kestrix_time_confirmation)(const char *time_text, void *context);

/* A new channel (NULL when out of memory); free it with kestrix_comm_free. */
KESTRIX_COMM_C_API kestrix_comm *kestrix_comm_new(void);
/* Closes the port if it is open and frees the handle; NULL is ignored. */
KESTRIX_COMM_C_API void kestrix_comm_free(kestrix_comm *comm);

/* 0, or -1 bad port number, -2 device cannot be opened (also for a NULL handle), -3 time-outs
 * refused. */
KESTRIX_COMM_C_API int kestrix_comm_open(kestrix_comm *comm, int port, int speed);
/* Opens a device named by its text instead of a port number: a path ("/dev/ttyUSB0"), or a
   board behind a network serial server, "rfc2217://host:port" or "tcp://host:port" (UTF-8).
   0, or -2 when the text names no device or it cannot be opened or reached (also for NULL). */
KESTRIX_COMM_C_API int kestrix_comm_open_device(kestrix_comm *comm, const char *device, int speed);
/* NULL is ignored. */
KESTRIX_COMM_C_API void kestrix_comm_close(kestrix_comm *comm);

/* The board's answer to the rate line exchange ('>' accepted); 0 when it gave none (or comm is
 * NULL). */
KESTRIX_COMM_C_API int kestrix_comm_set_currency(kestrix_comm *comm, int line, int kind, double first,
                                                 double second);
/* 1 when the board accepted, 0 otherwise (also for a code or kind not listed, NULL texts or a
 * NULL handle). */
KESTRIX_COMM_C_API int kestrix_comm_set_currency_code(kestrix_comm *comm, const char *currency, const char *kind,
                                                      double first, double second);
/* The same for the brightness line; 0 when it gave none (or comm is NULL). */
KESTRIX_COMM_C_API int kestrix_comm_set_intensity(kestrix_comm *comm, int address, int type, int first_hours,
                                                  int first_minutes, int second_hours, int second_minutes);
/* The board's answer to the test line; 0 when it gave none (or comm is NULL). */
KESTRIX_COMM_C_API int kestrix_comm_test(kestrix_comm *comm);
/* '>' when the time text was written, 0 when not (or comm or time is NULL). */
KESTRIX_COMM_C_API int kestrix_comm_set_time(kestrix_comm *comm, const kestrix_time *time);
/* A NULL callback removes the confirmation; a NULL handle is ignored. */
KESTRIX_COMM_C_API void kestrix_comm_set_time_confirmation(kestrix_comm *comm, kestrix_time_confirmation callback,
                                                           void *context);

#ifdef __cplusplus
}
#endif

#endif
