#include "sensors/smi.h"

int smi_init(SmiInterface* smi) {
    if (smi)
        *smi = SmiInterface{};
    return 0;
}
