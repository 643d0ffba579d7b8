// Links one layer whole with only the layers below it; nothing runs.
int main() { return 0; }
