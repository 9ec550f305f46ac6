// Baseline for a forwarding launch: the cheapest process there is.
int wmain()
{
    return 0;
}
