// Shows two exchange rates on line 3 of a rate board on port 1 (config.ini [Ports] COM1 names
// its device). Exit status 0 when the board accepted them.
#include <kestrix/comm.h>

#include <cstdio>

int main()
{
    CComm board;
    if (board.Open(1, 9600) != 0) {
        std::fprintf(stderr, "cannot open port 1\n");
        return 2;
    }
    const char answer = board.SetCurrency(3, 1, 1.5, 1.4567);
    std::printf("Answer: %c\n", answer ? answer : '-');
    board.Close();
    return answer == '>' ? 0 : 1;
}
