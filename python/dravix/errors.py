"""The exception the binding raises for a failed library call."""


class DravixError(Exception):
    """A library function failed.

    function: the C function's name; code: its result (1 failure, negative values are errno
    results of the video layer); message: the library's last ERROR log message at the time, or
    "" when the library logged none.
    """

    def __init__(self, function, code, message=""):
        self.function = function
        self.code = code
        self.message = message
        text = f"{function} failed with result {code}"
        super().__init__(f"{text}: {message}" if message else text)
