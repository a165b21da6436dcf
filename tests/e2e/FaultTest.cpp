#include "support/AppFixture.h"
