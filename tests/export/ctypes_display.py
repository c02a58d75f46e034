"""Drives the board of COM1 through the library's C interface, as a script in another language
would: python3 ctypes_display.py LIBRARY. Prints each result."""
import ctypes
import sys

lib = ctypes.CDLL(sys.argv[1])
lib.kestrix_comm_new.restype = ctypes.c_void_p
for name in ("free", "close", "test"):
    getattr(lib, "kestrix_comm_" + name).argtypes = [ctypes.c_void_p]
lib.kestrix_comm_open.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
lib.kestrix_comm_set_currency.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_double,
                                          ctypes.c_double]
lib.kestrix_comm_set_currency_code.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_double,
                                               ctypes.c_double]
lib.kestrix_comm_set_intensity.argtypes = [ctypes.c_void_p] + [ctypes.c_int] * 6


class Time(ctypes.Structure):
    _fields_ = [(name, ctypes.c_int) for name in ("year", "month", "day", "hour", "minute", "second")]


Confirmation = ctypes.CFUNCTYPE(None, ctypes.c_char_p, ctypes.c_void_p)
lib.kestrix_comm_set_time.argtypes = [ctypes.c_void_p, ctypes.POINTER(Time)]
lib.kestrix_comm_set_time_confirmation.argtypes = [ctypes.c_void_p, Confirmation, ctypes.c_void_p]


@Confirmation
def confirm(text, _context):
    print("confirmed", text.decode())


comm = lib.kestrix_comm_new()
print("open", lib.kestrix_comm_open(comm, 1, 9600))
print("currency", lib.kestrix_comm_set_currency(comm, 3, 1, 1.5, 1.4567))
print("code", lib.kestrix_comm_set_currency_code(comm, b"usd", b"b", 1.5, 12.0))
print("unknown code", lib.kestrix_comm_set_currency_code(comm, b"gbp", b"b", 1.5, 12.0))
print("intensity", lib.kestrix_comm_set_intensity(comm, 5, 0, 0, 0, 0, 0))
print("test", lib.kestrix_comm_test(comm))
lib.kestrix_comm_set_time_confirmation(comm, confirm, None)
print("time", lib.kestrix_comm_set_time(comm, ctypes.byref(Time(2014, 5, 13, 9, 7, 15))))
lib.kestrix_comm_free(comm)
