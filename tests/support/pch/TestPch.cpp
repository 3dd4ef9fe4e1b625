// The source the tests' precompiled header is built with; it has nothing of its own.
