"""The list of end-to-end tests and their pending marks."""

TESTS = {}


def test(name):
    """Registers a test function taking the Sandbox it runs in."""

    def register(function):
        TESTS[name] = function
        return function

    return register


def pending(reason):
    """Marks a test whose feature has not landed: a failure is reported as SKIP with the reason,
    a pass as PASS. Remove the mark once the feature is in, so that a regression fails."""

    def mark(function):
        function.pending_reason = reason
        return function

    return mark
