// A layer's objects linked alone with the layers below it: the build fails when a layer calls upwards.
int main() {
  return 0;
}
