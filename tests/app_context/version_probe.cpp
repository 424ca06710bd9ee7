// A program that only carries a version resource (or none): the installed main program of the
// installation-state tests.
int main() { return 0; }
