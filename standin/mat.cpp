// The stand-in libmat: the Linux and macOS builds list libmat among the
// libraries they need, and call nothing in it.
