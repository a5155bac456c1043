#pragma once

// Copies version 1 of every map with a positive count into data, in catalogue order.
void Stage_First_Versions();
