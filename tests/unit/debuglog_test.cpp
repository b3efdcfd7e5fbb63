#include "app/debuglog.h"

#include <gtest/gtest.h>
