#include "application.h"

int main(int argc, char *argv[])
{
    return runVendra2Admin(argc, argv);
}
