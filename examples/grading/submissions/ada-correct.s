; Ada: adds x to the product once for each round of y.
        MOVE r1, [0x00]         ; r1 = x
        MOVE r2, [0x01]         ; r2 = y, rounds to go
loop:   ADDI r2, r2, 0          ; z when no rounds are left
        JZ   done
        ADD  r3, r3, r1         ; product += x
        ADDI r2, r2, -1
        ADDI r0, r0, 0
        JZ   loop
done:   MOVE [0x02], r3
        ADDI r0, r0, 0
halt:   JZ   @halt
